#include "sim/user_aircraft.h"

#include <chrono>
#include <cmath>
#include <thread>

#include "core/run_flags.h"
#include "sim/sim_link.h"

namespace zeph {

UserAcPosition simUserData;
UserAcPosition userAcPosition;
std::uint8_t userOnGround = 0;
std::uint8_t userOnGroundKnown = 0;
std::mutex userDataMutex;
std::atomic<std::uint32_t> userAcObjectId{2};
std::string userAcTitle;
std::optional<double> userHalfWingSpan;
std::atomic<std::int64_t> simUtcSeconds{0};

namespace {

bool runIsStopping() { return runStopping.load() || userStopped.load(); }

bool userAircraftKnown() {
    const std::lock_guard lock(userDataMutex);
    return userOnGroundKnown != 0 && isKnownPosition(userAcPosition);
}

} // namespace

bool isKnownPosition(const UserAcPosition& position) {
    return std::fabs(position.latitude) > 0.0001 || std::fabs(position.longitude) > 0.0001;
}

UserAircraftSnapshot userAircraftSnapshot() {
    const std::lock_guard lock(userDataMutex);
    return UserAircraftSnapshot{userAcPosition, userOnGround != 0, userOnGroundKnown != 0, userHalfWingSpan};
}

UserAcPosition gf_getUserAcPosition() {
    const std::lock_guard lock(simConnectMutex);
    return simUserData;
}

bool lf_waitForUserAircraft() {
    using namespace std::chrono_literals;
    while (!simConnected.load() || simConnectError.load()) {
        if (runIsStopping()) {
            return false;
        }
        std::this_thread::sleep_for(100ms);
    }
    if (runIsStopping()) {
        return false;
    }
    while (!userAircraftKnown()) {
        const UserAcPosition position = gf_getUserAcPosition();
        const auto copiedAt = std::chrono::steady_clock::now();
        {
            const std::lock_guard lock(userDataMutex);
            userAcPosition = position;
        }
        if (runIsStopping()) {
            return false;
        }
        std::this_thread::sleep_until(copiedAt + 500ms);
    }
    return true;
}

void gf_resetUserAircraft() {
    {
        const std::lock_guard lock(simConnectMutex);
        simUserData = UserAcPosition{};
    }
    {
        const std::lock_guard lock(userDataMutex);
        userAcPosition = UserAcPosition{};
        userOnGround = 0;
        userOnGroundKnown = 0;
        userAcTitle.clear();
        userHalfWingSpan.reset();
    }
    userAcObjectId.store(2);
    simUtcSeconds.store(0);
}

} // namespace zeph
