// AI objects on their way to the simulator and back, at the stand-in. The test thread plays both the traffic
// thread (it queues work as the engine does) and the client thread (it dispatches the stand-in's frames and
// replies).
#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <latch>
#include <mutex>
#include <string>
#include <thread>
#include <variant>
#include <vector>

#include <fmt/format.h>
#include <gtest/gtest.h>

#include "sim/ai_objects.h"
#include "sim/dispatch.h"
#include "sim/flight_plans.h"
#include "sim/sim_link.h"
#include "sim/simconnect/calls.h"
#include "sim/user_aircraft.h"
#include "simstandin/wire.h"
#include "state/exit_reason.h"
#include "state/main_window_state.h"
#include "support/sim_fixture.h"
#include "support/temp_dir.h"

namespace zeph {
namespace {

namespace sw = standin;

constexpr double kGround = 364.0;
constexpr const char* kTitle = "Airbus A320 Lufthansa";

std::vector<SimResult> takeResults() {
    const std::lock_guard lock(simResultMutex);
    std::vector<SimResult> results(simResultQueue.begin(), simResultQueue.end());
    simResultQueue.clear();
    return results;
}

// Results as text, so a failing case shows them whole; reports of traffic in range are left out.
std::string text(const std::vector<SimResult>& results) {
    std::string out;
    for (const SimResult& r : results) {
        if (r.kind != 3) {
            out += fmt::format("{{{},{},{},{},{},{}}} ", r.objectId, r.hexid, r.counter, r.kind, r.value1,
                               r.value2);
        }
    }
    return out;
}

AiInitPosition initPosition(double agl) {
    return {0.001, 0.002, kGround + agl, -2.5, 1.25, 271.0, agl == 0.0 ? 1U : 0U, 0};
}

// The 56 bytes the stand-in received, in the simulator's layout.
std::string bytesOf(const sw::InitPosition& p) {
    std::string bytes;
    for (double value : {p.lat, p.lon, p.alt, p.pitch, p.bank, p.heading}) {
        sw::appendF64(bytes, value);
    }
    sw::appendU32(bytes, p.onGround);
    sw::appendU32(bytes, p.airspeed);
    return bytes;
}
std::string bytesOf(const AiInitPosition& p) { return {reinterpret_cast<const char*>(&p), sizeof p}; }

// A packet in one line: its kind and the fields that tell the cases apart.
std::string describe(const sw::PacketRecord& p) {
    const auto kind = sw::packetKindOf(p.id);
    const std::string name(kind ? sw::packetKindName(*kind) : "unknown");
    if (const auto* t = std::get_if<sw::TransmitEventPacket>(&p.fields)) {
        return fmt::format("{} {} {} {} {} {}", name, t->objectId, t->eventId, t->data, t->groupId, t->flags);
    }
    if (const auto* o = std::get_if<sw::ObjectRequestPacket>(&p.fields)) {
        return fmt::format("{} {} {}", name, o->objectId, o->requestId);
    }
    if (const auto* s = std::get_if<sw::SetDataPacket>(&p.fields)) {
        return fmt::format("{} {} {} {} {} {} size {}", name, s->defineId, s->objectId, s->flags, s->count,
                           s->unitSize, p.size);
    }
    if (const auto* c = std::get_if<sw::CreateAircraftPacket>(&p.fields)) {
        return fmt::format("{} {} {}", name, c->tailNumber, c->requestId);
    }
    return name;
}

std::vector<std::string> describe(const std::vector<sw::PacketRecord>& packets) {
    std::vector<std::string> lines;
    for (const auto& p : packets) {
        lines.push_back(describe(p));
    }
    return lines;
}

AiPositionData positionFor(std::uint32_t objectId, double seed) {
    return {50.0 + seed,   8.5 + seed,  -0.01 * seed, 0.02 * seed, 1.5 + seed,
            1200.0 + seed, -5.0 * seed, 140.0 + seed, objectId};
}

std::size_t workCount() {
    const std::lock_guard lock(simConnectMutex);
    return positionBuffers.sendHalf().size() + clientEventWork.size() + creationWork.size() +
           removalWork.size();
}

class AiObjectsTest : public test::SimFixture {
protected:
    void SetUp() override {
        SimFixture::SetUp();
        startStandin();
        openAsClientThread();
        pumpPastMarker();
        standin().setGround(kGround);
        userAcObjectId.store(1); // the stand-in's user aircraft
        takeResults();
    }

    void dispatchFrame() {
        standin().stepFrames(1);
        pumpPastMarker();
    }
    // One simulator frame, dispatched; returns once the stand-in has handled what the frame sent and its
    // answers have been dispatched.
    void frame() {
        dispatchFrame();
        pumpPastMarker();
    }

    void requestInRange() {
        {
            const std::lock_guard lock(simConnectMutex);
            gf_simCalls().requestDataOnSimObjectType(101, 404, 20000, 2);
        }
        pumpPastMarker();
    }

    std::uint32_t lastSentId() const {
        std::uint32_t id = 0;
        SimConnect_GetLastSentPacketID(simClientHandle, &id);
        return id;
    }

    // The packets sent after sendId, in the order of their send ids.
    std::vector<sw::PacketRecord> packetsAfter(std::uint32_t sendId) {
        std::vector<sw::PacketRecord> packets;
        for (auto& p : standin().packets().packets) {
            if (p.sendId > sendId) {
                packets.push_back(std::move(p));
            }
        }
        std::stable_sort(packets.begin(), packets.end(),
                         [](const auto& a, const auto& b) { return a.sendId < b.sendId; });
        return packets;
    }

    // An aircraft made through the frame and the range request, as the engine makes it, and frozen; its
    // object id.
    std::uint32_t create(std::uint32_t hexid, const std::string& callsign) {
        gf_queueAiCreation({initPosition(1000.0), callsign, kTitle, hexid});
        frame();
        requestInRange();
        frame();
        for (const SimResult& r : takeResults()) {
            if (r.hexid == hexid && r.kind == 0) {
                return r.objectId;
            }
        }
        ADD_FAILURE() << callsign << " was not created";
        return 0;
    }

    const sw::SimObject* objectOf(std::uint32_t id) {
        objects_ = standin().objects();
        const auto it =
            std::find_if(objects_.begin(), objects_.end(), [&](const auto& o) { return o.id == id; });
        return it == objects_.end() ? nullptr : &*it;
    }

    // New log lines since the count of lines given.
    std::vector<std::string> logSince(std::size_t count) const {
        const auto lines = readLog();
        std::vector<std::string> added(
            lines.begin() + static_cast<std::ptrdiff_t>(std::min(count, lines.size())), lines.end());
        std::erase(added, "! Unknown Dispatch dwID 10");
        return added;
    }

private:
    std::vector<sw::SimObject> objects_;
};

TEST_F(AiObjectsTest, ACreationIsSentMatchedReleasedAndFrozen) {
    struct Case {
        const char* name;
        std::uint32_t hexid;
        const char* callsign;
        double agl;
        std::uint32_t kind;
    };
    const Case cases[] = {{"live", 4221004, "DLH4AB", 8.5, 0}, {"static", 12, "ABC123*", 0.0, 1}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const AiCreateRequest request{initPosition(c.agl), c.callsign, kTitle, c.hexid};
        const std::uint32_t before = lastSentId();
        gf_queueAiCreation(request);
        frame();
        const auto packets = packetsAfter(before);
        ASSERT_EQ(pendingCreations.size(), 1U);
        ASSERT_EQ(describe(packets),
                  std::vector<std::string>{fmt::format("AICreateNonATCAircraft {} {}", c.callsign,
                                                       pendingCreations[0].requestId)});
        const auto& sent = std::get<sw::CreateAircraftPacket>(packets[0].fields);
        EXPECT_EQ(sent.title, kTitle);
        EXPECT_EQ(bytesOf(sent.init), bytesOf(request.position));
        EXPECT_EQ(pendingCreations[0].sendId, packets[0].sendId);
        EXPECT_EQ(pendingCreations[0].callsign, c.callsign);

        requestInRange();
        const auto results = takeResults();
        const auto made =
            std::find_if(results.begin(), results.end(), [&](const SimResult& r) { return r.kind != 3; });
        ASSERT_NE(made, results.end());
        const std::uint32_t oid = made->objectId;
        const double agl = c.kind == 0 ? c.agl : 0.0;
        EXPECT_EQ(text(results), text({{oid, c.hexid, 0, c.kind, 0.0, agl}}));
        EXPECT_TRUE(pendingCreations.empty());
        // The release went out while the reply was dispatched.
        EXPECT_TRUE(standin().waitFor(
            [&] {
                const auto* object = objectOf(oid);
                return object != nullptr && object->released;
            },
            test::kLivenessBound));

        frame();
        std::vector<std::string> events;
        for (const auto& e : standin().clientEvents(oid)) {
            events.push_back(fmt::format("{} {} {}", e.eventName, e.data, e.groupId));
        }
        EXPECT_EQ(events,
                  (std::vector<std::string>{"FREEZE_LATITUDE_LONGITUDE_SET 1 301",
                                            "FREEZE_ALTITUDE_SET 1 301", "FREEZE_ATTITUDE_SET 1 301"}));

        {
            const std::lock_guard lock(simConnectMutex);
            gf_simCalls().requestDataOnSimObject(102, 405, oid, 1);
        }
        pumpPastMarker();
        EXPECT_EQ(text(takeResults()), text({{oid, 0, 0, 4, 8.5, 0.0}}));
    }
}

// Each creation gets the object the simulator made for it: two creations with one callsign keep their own,
// and another program's aircraft with a pending callsign, there before ours, is never taken.
TEST_F(AiObjectsTest, ANewObjectGoesOnlyToTheCreationItWasMadeFor) {
    struct Creation {
        const char* callsign;
        std::uint32_t hexid;
    };
    struct Case {
        const char* name;
        std::vector<Creation> creations;
        std::uint32_t heldFrames; // the stand-in holds each creation back this many frames
        const char* foreign;      // ATC ID of an aircraft of another program that appears meanwhile
    };
    const Case cases[] = {
        {"one callsign twice", {{"Z*", 10}, {"ABC", 4000001}, {"ABC", 4000002}}, 0, nullptr},
        {"foreign aircraft first", {{"DEF", 4000003}}, 2, "DEF"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::size_t lines = readLog().size();
        const std::size_t made = standin().created().size();
        standin().creationDelayFrames(c.heldFrames);
        for (const Creation& creation : c.creations) {
            gf_queueAiCreation({initPosition(1000.0), creation.callsign, kTitle, creation.hexid});
        }
        frame();
        std::vector<std::string> expectedLines;
        if (c.foreign != nullptr) {
            sw::TrafficSpec traffic;
            traffic.atcId = c.foreign;
            traffic.agl = 3000.0; // never traffic in range
            traffic.onGround = false;
            expectedLines.push_back(
                fmt::format("just spawned, but not by Corvane_P3D, oid: {}, callsign '{}', "
                            "altaboveGnd:3000 ft, onground:0, gnd_alt:364 ft",
                            standin().addTraffic(traffic), c.foreign));
        }
        requestInRange();
        for (std::uint32_t k = 0; k < c.heldFrames; ++k) {
            frame();
        }
        requestInRange();

        const auto created = standin().created();
        ASSERT_EQ(created.size(), made + c.creations.size());
        std::vector<SimResult> expected;
        for (std::size_t k = 0; k < c.creations.size(); ++k) {
            const bool isStatic = c.creations[k].hexid <= kLastStaticHexid;
            expected.push_back({created[made + k].objectId, c.creations[k].hexid, 0, isStatic ? 1U : 0U, 0.0,
                                isStatic ? 0.0 : 1000.0});
        }
        EXPECT_EQ(text(takeResults()), text(expected));
        EXPECT_EQ(logSince(lines), expectedLines);
        EXPECT_TRUE(pendingCreations.empty());
        EXPECT_TRUE(newObjectIds.empty());
    }
}

class AiObjectsFrameThreads : public AiObjectsTest {};

TEST_F(AiObjectsFrameThreads, AFrameSendsAllWorkInOrderOrWaitsOrDropsIt) {
    const std::uint32_t oid = create(4221004, "DLH4AB");
    const auto queueWork = [&] {
        {
            const std::lock_guard lock(simConnectMutex);
            auto& sendHalf = positionBuffers.sendHalf();
            sendHalf.push_back(positionFor(oid, 1.0));
            sendHalf.push_back(positionFor(1, 2.0)); // the user's own aircraft
            sendHalf.push_back(positionFor(0, 3.0));
            clientEventWork.push_back({oid, 207, 1});
            removalWork.push_back(oid);
        }
        gf_queueAiCreation({initPosition(1000.0), "BAW12", kTitle, 4000001});
    };
    struct Case {
        const char* name;
        bool lockHeld;
        bool error;
        std::vector<std::string> sent;
        std::size_t workLeft;
    };
    const Case cases[] = {
        {"lock held elsewhere", true, false, {}, 6},
        {"next frame",
         false,
         false,
         {fmt::format("SetDataOnSimObject 402 {} 0 1 64 size 100", oid),
          fmt::format("TransmitClientEvent {} 207 1 301 0", oid), "AICreateNonATCAircraft BAW12 {}",
          fmt::format("AIRemoveObject {} 105", oid)},
         0},
        {"error state", false, true, {}, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        if (workCount() == 0) {
            queueWork();
        }
        simConnectError.store(c.error);
        const std::uint32_t before = lastSentId();
        std::latch locked(1);
        std::latch release(1);
        std::jthread holder;
        if (c.lockHeld) {
            holder = std::jthread([&] {
                const std::lock_guard lock(simConnectMutex);
                locked.count_down();
                release.wait();
            });
            locked.wait();
        }
        frame();
        release.count_down();
        if (holder.joinable()) {
            holder.join();
        }
        // The creation's own request id, as it is kept.
        std::vector<std::string> sent;
        for (const std::string& line : c.sent) {
            sent.push_back(fmt::format(fmt::runtime(line),
                                       pendingCreations.empty() ? 0 : pendingCreations.back().requestId));
        }
        EXPECT_EQ(describe(packetsAfter(before)), sent);
        EXPECT_EQ(workCount(), c.workLeft);
    }
}

TEST_F(AiObjectsTest, PositionsGoOutAsTheirOwn64Bytes) {
    const std::uint32_t first = create(4221004, "DLH4AB");
    const std::uint32_t second = create(4221005, "DLH5AB");
    const std::vector<AiPositionData> records = {positionFor(first, 0.25), positionFor(second, 0.5),
                                                 positionFor(first, 0.75)};
    {
        const std::lock_guard lock(simConnectMutex);
        positionBuffers.sendHalf() = records;
    }
    const std::uint32_t before = lastSentId();
    frame();
    const auto packets = packetsAfter(before);
    ASSERT_EQ(packets.size(), records.size());
    for (std::size_t k = 0; k < records.size(); ++k) {
        SCOPED_TRACE(k);
        EXPECT_EQ(describe(packets[k]),
                  fmt::format("SetDataOnSimObject 402 {} 0 1 64 size 100", records[k].objectId));
        const auto& data = std::get<sw::SetDataPacket>(packets[k].fields).data;
        ASSERT_EQ(data.size(), 64U);
        EXPECT_EQ(std::memcmp(data.data(), &records[k], 64), 0);
    }
}

TEST_F(AiObjectsTest, FlapsAreSetBetweenTwoReleasesOfControl) {
    const std::uint32_t oid = create(4221004, "DLH4AB");
    struct Case {
        std::uint32_t event;
        std::uint32_t data;
        std::vector<std::string> sent;
    };
    const Case cases[] = {
        {218,
         10240,
         {fmt::format("AIReleaseControl {} 103", oid),
          fmt::format("TransmitClientEvent {} 218 10240 301 0", oid),
          fmt::format("AIReleaseControl {} 103", oid)}},
        {220, 1, {fmt::format("TransmitClientEvent {} 220 1 301 0", oid)}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.event);
        {
            const std::lock_guard lock(simConnectMutex);
            clientEventWork.push_back({oid, c.event, c.data});
        }
        const std::uint32_t before = lastSentId();
        frame();
        EXPECT_EQ(describe(packetsAfter(before)), c.sent);
    }
}

TEST_F(AiObjectsTest, FailedCallsAfterALostConnectionEndTheRunOnce) {
    standin().dropConnection();
    const auto deadline = std::chrono::steady_clock::now() + test::kLivenessBound;
    while (SimConnect_CallDispatch(simClientHandle, lf_dispatchProc, nullptr) >= 0 &&
           std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    {
        const std::lock_guard lock(simConnectMutex);
        clientEventWork.push_back({100, 218, 0});
    }
    gf_queueAiCreation({initPosition(0.0), "DLH4AB", "Title A", 4221004});
    gf_queueAiCreation({initPosition(0.0), "BAW12", "Title B", 4000001});
    const std::size_t before = readLog().size();
    lf_onFrame();
    EXPECT_EQ(
        logSince(before),
        (std::vector<std::string>{
            "SimConnect TransmitClientEvent: 218 fails",
            "==> ! Simcon call to create ac in sim failed, hexid:4221004, liv: 'Title A', callsign: DLH4AB)",
            "SimConnect request error",
            "==> ! Simcon call to create ac in sim failed, hexid:4000001, liv: 'Title B', callsign: "
            "BAW12)"}));
    EXPECT_EQ(exitReason.load(), ExitReason::SIMCONNECT_ERROR);
    EXPECT_EQ(currentRestartDelay(), 9);
    EXPECT_TRUE(simConnectError.load());
    EXPECT_TRUE(pendingCreations.empty());
    EXPECT_EQ(workCount(), 0U);
}

TEST_F(AiObjectsTest, OverlongCallsignIsCutAndOverlongTitleRefusedWithoutEndingTheRun) {
    const std::string longTitle(300, 'T');
    struct Case {
        const char* name;
        std::string callsign;
        std::string title;
        std::vector<std::string> lines;
        std::string tail; // as sent; empty: nothing sent
        std::uint32_t kind;
    };
    const Case cases[] = {
        {"callsign of 14",
         "ABCDEFGHIJKLMN",
         kTitle,
         {"! callsign ABCDEFGHIJKLMN cut to ABCDEFGHIJK for the simulator"},
         "ABCDEFGHIJK",
         0},
        {"title of 300",
         "DLH4AB",
         longTitle,
         {fmt::format(
             "==> ! Simcon call to create ac in sim failed, hexid:4221004, liv: '{}', callsign: DLH4AB)",
             longTitle)},
         "",
         6},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::size_t lines = readLog().size();
        const std::uint32_t before = lastSentId();
        gf_queueAiCreation({initPosition(8.5), c.callsign, c.title, 4221004});
        // A refused text gives its send id back unused: only the range request shows that the stand-in has
        // handled the frame's packets.
        dispatchFrame();
        requestInRange();
        const auto sent = packetsAfter(before);
        const auto created = std::find_if(sent.begin(), sent.end(), [](const auto& p) {
            return std::holds_alternative<sw::CreateAircraftPacket>(p.fields);
        });
        EXPECT_EQ(created == sent.end() ? "" : std::get<sw::CreateAircraftPacket>(created->fields).tailNumber,
                  c.tail);
        const auto results = takeResults();
        const auto made =
            std::find_if(results.begin(), results.end(), [](const SimResult& r) { return r.kind != 3; });
        ASSERT_NE(made, results.end());
        EXPECT_EQ(made->hexid, 4221004U);
        EXPECT_EQ(made->kind, c.kind);
        EXPECT_TRUE(pendingCreations.empty());
        EXPECT_EQ(logSince(lines), c.lines);
        EXPECT_FALSE(simConnectError.load());
        EXPECT_EQ(exitReason.load(), ExitReason::NOT_YET_SET);
    }
}

TEST_F(AiObjectsTest, OnlyAiObjectsAreRemoved) {
    const std::uint32_t oid = create(4221004, "DLH4AB");
    struct Case {
        std::uint32_t objectId;
        std::vector<std::string> sent;
        std::vector<std::string> lines;
        std::string results;
    };
    const Case cases[] = {
        {oid, {fmt::format("AIRemoveObject {} 105", oid)}, {}, text({{oid, 0, 0, 2, 0.0, 0.0}})},
        {0, {}, {"==> SimConnect call to remove ac with objectid 0"}, ""},
        {1, {}, {"==> SimConnect call to remove ac with objectid 1"}, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.objectId);
        const std::size_t lines = readLog().size();
        {
            const std::lock_guard lock(simConnectMutex);
            removalWork.push_back(c.objectId);
        }
        const std::uint32_t before = lastSentId();
        frame();
        EXPECT_EQ(describe(packetsAfter(before)), c.sent);
        EXPECT_EQ(logSince(lines), c.lines);
        EXPECT_EQ(text(takeResults()), c.results);
    }
    EXPECT_EQ(objectOf(oid), nullptr);
}

// A plan whose codes needed escaping is still one the simulator can load, handed over through the port as the
// engine hands it over.
TEST_F(AiObjectsTest, AnEscapedFlightPlanIsAcceptedThroughThePort) {
    const std::uint32_t oid = create(4221010, "DLH4AC");
    test::TempDir temp;
    flightPlanFolder = temp.path();
    AcProfile aircraft;
    aircraft.kind = AcKind::Heavy;
    aircraft.from = "A&B<";
    aircraft.to = "KJFK";
    const auto file = gf_flightPlanPath(oid);
    ASSERT_TRUE(gf_writeFlightPlan(file, aircraft));
    {
        const std::lock_guard lock(simConnectMutex);
        ASSERT_EQ(gf_simCalls().setAiFlightPlan(oid, file.string(), 110), 0);
    }
    pumpPastMarker();
    const auto plans = standin().flightPlans();
    ASSERT_EQ(plans.size(), 1U);
    EXPECT_TRUE(plans[0].accepted) << plans[0].error;
    EXPECT_EQ(plans[0].objectId, oid);
    EXPECT_EQ(plans[0].departure, "A&B<");
    EXPECT_EQ(plans[0].destination, "KJFK");
    flightPlanFolder.clear();
}

} // namespace
} // namespace zeph
