// One whole run of the simulator link against a strict stand-in over TCP: the wait for the user aircraft,
// 22 creations, 300 frames of positions, 21 removals, and the simulator going away. The test thread plays
// the traffic thread with the engine's own functions; the real client thread talks to the stand-in.
#include <algorithm>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <future>
#include <mutex>
#include <string>
#include <thread>
#include <variant>
#include <vector>

#include <fmt/format.h>
#include <gtest/gtest.h>

#include "airports/park_airport_list.h"
#include "airports/stands.h"
#include "settings/data_tree.h"
#include "sim/ai_objects.h"
#include "sim/sim_link.h"
#include "sim/user_aircraft.h"
#include "state/exit_reason.h"
#include "state/main_window_state.h"
#include "support/aircraft_fixture.h"
#include "support/airport_fixture.h"
#include "support/sim_fixture.h"
#include "support/temp_dir.h"
#include "traffic/park_airport_status.h"
#include "traffic/traffic_pass.h"
#include "traffic/traffic_tables.h"

namespace zeph {
namespace {

namespace fs = std::filesystem;
namespace sw = standin;

constexpr double kA12Lat = test::kEddfA12.lat;
constexpr double kA12Lon = test::kEddfA12.lon;
constexpr double kGround = 364.0;
constexpr const char* kUserTitle = "Airbus A320 Lufthansa";
constexpr const char* kRefused = "Bad Title";
constexpr std::size_t kLive = 20;
constexpr std::size_t kStatic = 2;
constexpr int kFrames = 300;

std::vector<SimResult> drainResults() {
    const std::lock_guard lock(simResultMutex);
    std::vector<SimResult> results(simResultQueue.begin(), simResultQueue.end());
    simResultQueue.clear();
    return results;
}

AiPositionData positionFor(std::uint32_t objectId, std::size_t index, int frame) {
    const double step = 1e-6 * frame;
    return {kA12Lat + 0.01 + 0.0005 * static_cast<double>(index) + step,
            kA12Lon + step,
            -0.01,
            0.002 * frame,
            1.5,
            kGround + 1000.0 + frame,
            -3.25,
            140.0 + frame,
            objectId};
}

class LinkEndToEndThreads : public test::SimFixture {
protected:
    void SetUp() override {
        SimFixture::SetUp();
        fs::create_directories(airportsDir);
        test::writeFileBytes(myParkAirportsFile, "EDDF\n");
        test::installEddfStands();
        setParkAirportRecord(ParkAirportRecord{.code = "EDDF"});
        const std::lock_guard lock(parkAirportListMutex);
        ParkAirport eddf;
        eddf.code = "EDDF";
        parkAirportList = {eddf};
    }
    void TearDown() override {
        stopClientThread();
        {
            const std::lock_guard lock(parkAirportListMutex);
            parkAirportList.clear();
        }
        setParkAirportRecord({});
        lf_clearParkPositions();
        tickCounter.store(0);
        removalQueue.clear();
        SimFixture::TearDown();
    }

    // Results until count of them have come (other traffic left out), or the time is up.
    std::vector<SimResult> awaitResults(std::size_t count) {
        std::vector<SimResult> results;
        const auto deadline = std::chrono::steady_clock::now() + test::kLivenessBound;
        while (results.size() < count && std::chrono::steady_clock::now() < deadline) {
            for (const SimResult& r : drainResults()) {
                if (r.kind != 3) {
                    results.push_back(r);
                }
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        return results;
    }

    std::size_t packetsOfKind(sw::PacketKind kind) {
        const auto packets = standin().packets().packets;
        return static_cast<std::size_t>(std::count_if(
            packets.begin(), packets.end(), [&](const auto& p) { return sw::packetKindOf(p.id) == kind; }));
    }

    test::TestAircraft fleet_;
};

TEST_F(LinkEndToEndThreads, AWholeRunAgainstTheStandin) {
    auto options = standinOptions();
    options.unixPath.reset(); // only SimConnect.cfg leads to the stand-in
    options.userObjectId = 1;
    options.frameRate = 60.0; // above 50: the swap waits for a busy lock rather than dropping positions
    options.positionHistory = kFrames + 10;
    auto& sim = startStandin(options, true);
    sim.setGround(kGround);
    sw::UserUpdate user;
    user.lat = kA12Lat;
    user.lon = kA12Lon;
    user.alt = kGround;
    user.groundSpeed = 0.0;
    user.onGround = true;
    user.title = kUserTitle;
    user.atcModel = "A320";
    sim.setUser(user);
    simFrameRate.store(60.0F);

    // 1. The wait for the user aircraft; the stand-in's clock drives the per-second replies.
    gf_initSimLink(5);
    startClientThread();
    auto waited = std::async(std::launch::async, [] { return lf_waitForUserAircraft(); });
    const auto deadline = std::chrono::steady_clock::now() + 2 * test::kLivenessBound;
    while (waited.wait_for(std::chrono::milliseconds(100)) != std::future_status::ready &&
           std::chrono::steady_clock::now() < deadline) {
        sim.advanceClock(1000);
    }
    ASSERT_EQ(waited.wait_for(std::chrono::seconds(0)), std::future_status::ready);
    ASSERT_TRUE(waited.get());
    ASSERT_EQ(sim.connections().size(), 1U);
    EXPECT_EQ(sim.connections()[0].transport, "tcp4");
    const auto panelShown = [] {
        const auto texts = mainWindowState.displayTexts();
        return texts.userAcTitle == kUserTitle && texts.userStandText == "A12" &&
               mainWindowState.userModelKnown.load();
    };
    for (int k = 0; k < 100 && !panelShown(); ++k) {
        sim.advanceClock(1000);
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    EXPECT_TRUE(panelShown());

    // 2. 22 creations in one frame, one with a title the simulator refuses.
    sim.refuseTitles({kRefused});
    const std::uint32_t refusedHexid = 4000000 + kLive - 1;
    std::vector<std::string> callsigns;
    for (std::size_t k = 0; k < kLive + kStatic; ++k) {
        const bool live = k < kLive;
        callsigns.push_back(live ? fmt::format("E2E{:02}", k) : fmt::format("ST{}*", k));
        AiCreateRequest request;
        request.position = {kA12Lat + 0.01 + 0.0005 * static_cast<double>(k),
                            kA12Lon,
                            kGround + (live ? 1000.0 : 0.0),
                            0.0,
                            0.0,
                            90.0,
                            live ? 0U : 1U,
                            0};
        request.callsign = callsigns.back();
        request.livery = k == kLive - 1 ? kRefused : kUserTitle;
        request.hexid = live ? static_cast<std::uint32_t>(4000000 + k) : static_cast<std::uint32_t>(k);
        gf_queueAiCreation(request);
    }
    sim.stepFrames(1);
    ASSERT_TRUE(sim.waitFor([&] { return sim.created().size() == kLive + kStatic; }, test::kLivenessBound));
    const auto created = sim.created();
    for (std::size_t k = 0; k < created.size(); ++k) {
        EXPECT_EQ(created[k].sendId, created.front().sendId + k) << "one frame, in order";
    }

    // 3. The range request matches them; the refused one comes back as kind 6.
    ASSERT_TRUE(
        sim.waitFor([&] { return sim.objects().size() == 1 + kLive - 1 + kStatic; }, test::kLivenessBound));
    tickCounter.store(0);
    lf_requestAcInRange();
    const auto made = awaitResults(kLive + kStatic);
    std::vector<std::uint32_t> objectIds;
    std::size_t kinds[7]{};
    for (const SimResult& r : made) {
        ++kinds[std::min<std::uint32_t>(r.kind, 6)];
        if (r.kind == 6) {
            EXPECT_EQ(r.hexid, refusedHexid);
        } else {
            objectIds.push_back(r.objectId);
        }
    }
    EXPECT_EQ(kinds[0], kLive - 1);
    EXPECT_EQ(kinds[1], kStatic);
    EXPECT_EQ(kinds[6], 1U);
    ASSERT_EQ(objectIds.size(), kLive - 1 + kStatic);
    EXPECT_TRUE(
        sim.waitFor([&] { return packetsOfKind(sw::PacketKind::AiReleaseControl) == objectIds.size(); },
                    test::kLivenessBound));
    sim.stepFrames(1);
    EXPECT_TRUE(
        sim.waitFor([&] { return sim.clientEvents().size() == 3 * objectIds.size(); }, test::kLivenessBound));

    // 4. 300 frames of positions, each awaited at the stand-in.
    for (int frame = 1; frame <= kFrames; ++frame) {
        auto& half = positionBuffers.writeHalf();
        for (std::size_t k = 0; k < objectIds.size(); ++k) {
            half.push_back(positionFor(objectIds[k], k, frame));
        }
        lf_updateAllLiveAc();
        sim.stepFrames(1);
        ASSERT_TRUE(
            sim.waitFor([&] { return sim.positions(objectIds.back()).samples.size() == std::size_t(frame); },
                        test::kLivenessBound))
            << "frame " << frame;
    }
    for (std::size_t k = 0; k < objectIds.size(); ++k) {
        SCOPED_TRACE(objectIds[k]);
        const auto samples = sim.positions(objectIds[k]).samples;
        ASSERT_EQ(samples.size(), std::size_t(kFrames));
        const AiPositionData last = positionFor(objectIds[k], k, kFrames);
        const sw::PositionSample& got = samples.back();
        EXPECT_EQ((std::vector<double>{got.lat, got.lon, got.pitch, got.bank, got.heading, got.alt,
                                       got.verticalSpeed, got.airspeed}),
                  (std::vector<double>{last.latitude, last.longitude, last.pitch, last.bank, last.heading,
                                       last.altitude, last.verticalSpeed, last.trueAirspeed}));
    }

    // 5. Removals through the engine's rules and scheduler, one every 10 passes.
    for (const std::uint32_t oid : objectIds) {
        StaticAc record;
        record.objectId = oid;
        record.hexid = 4000000;
        record.state = AcState::active;
        removeAircraftFromSim(record);
        EXPECT_EQ(record.state, AcState::removingfromsim);
    }
    for (std::size_t k = 1; k <= objectIds.size(); ++k) {
        tickCounter.store(static_cast<std::int64_t>(10 * k));
        lf_scheduleSimObjects();
    }
    sim.stepFrames(1);
    EXPECT_TRUE(sim.waitFor([&] { return sim.removed().size() == objectIds.size(); }, test::kLivenessBound));
    const auto removed = awaitResults(objectIds.size());
    EXPECT_EQ(static_cast<std::size_t>(std::count_if(removed.begin(), removed.end(),
                                                     [](const SimResult& r) { return r.kind == 2; })),
              objectIds.size());

    // 6. The simulator goes away.
    sim.dropConnection();
    ASSERT_TRUE(waitForClientThreadEnd());
    EXPECT_EQ(exitReason.load(), ExitReason::SIM_WAS_CLOSED);
    EXPECT_EQ(currentRestartDelay(), 0);
    EXPECT_EQ(test::readFileBytes(myParkAirportsFile), "EDDF,A12\n");
    EXPECT_TRUE(waitForLog("SimConnect closed ok"));

    // 7. A clean conversation, every send id used once.
    EXPECT_TRUE(sim.violations().empty());
    auto packets = sim.packets().packets;
    std::sort(packets.begin(), packets.end(),
              [](const auto& a, const auto& b) { return a.sendId < b.sendId; });
    for (std::size_t k = 0; k < packets.size(); ++k) {
        ASSERT_EQ(packets[k].sendId, k + 1) << "a gap or a repeat before send id " << packets[k].sendId;
    }
}

} // namespace
} // namespace zeph
