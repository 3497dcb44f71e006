#include "support/standin_harness.h"

#include <cstring>

#include "sim/dispatch.h"
#include "sim/user_aircraft.h"
#include "support/traffic_builders.h"

namespace zeph::test {
namespace {

constexpr std::uint32_t kMarkerId = 10;

void dispatchUpToMarker(const std::uint8_t* message, std::uint32_t size, void* markerSeen) {
    std::uint32_t id = 0;
    if (size >= 12) {
        std::memcpy(&id, message + 8, sizeof id);
    }
    if (id == kMarkerId) {
        *static_cast<bool*>(markerSeen) = true;
    } else {
        lf_dispatchProc(message, size, nullptr);
    }
}

} // namespace

void StandinHarness::SetUp() {
    SimFixture::SetUp();
    standin::StandinOptions options = standinOptions();
    options.positionHistory = 8000;
    options.packetLogLimit = 64; // the waits read the newest packet only
    startStandin(options);
    standin().setGround(1400);
    standin::UserUpdate user;
    user.lat = 47.05;
    user.lon = 8.10;
    user.onGround = true;
    standin().setUser(user);
    placeUserAircraft(UserAcPosition{.latitude = 47.05, .longitude = 8.10}, true);
    openAsClientThread();
    pumpPastQuietMarker();
    userAcObjectId.store(1); // the stand-in's user aircraft
}

PassHarness StandinHarness::passHarness(std::vector<ScriptedReport> script) {
    const auto frame = [this] {
        waitUntilSentHandled();
        standin().stepFrames(1);
        pumpPastQuietMarker();
    };
    return PassHarness(frame, std::move(script));
}

void StandinHarness::pumpPastQuietMarker() {
    bool seen = false;
    injectAfterSent(unknownMessage(kMarkerId));
    EXPECT_TRUE(pumpUntil([&] { return seen; }, dispatchUpToMarker, &seen)) << "the marker never came";
}

} // namespace zeph::test
