#include "state/user_position.h"

namespace zeph {

UserAcPosition simUserData;
UserAcPosition userAcPosition;
std::uint8_t userOnGround = 0;
std::uint8_t userOnGroundKnown = 0;
std::mutex userDataMutex;
std::atomic<std::uint32_t> userAcObjectId{2};
std::string userAcTitle;
std::optional<double> userHalfWingSpan;
GeoPoint previousUserPosition;
std::string userAcStand;
std::atomic<std::uint32_t> userAcKind{0};
std::atomic<std::int64_t> simUtcSeconds{0};

bool isKnownPosition(const UserAcPosition& position) {
    return !isNearNullIsland(GeoPoint{position.latitude, position.longitude});
}

UserAircraftSnapshot userAircraftSnapshot() {
    const std::lock_guard lock(userDataMutex);
    return UserAircraftSnapshot{userAcPosition, userOnGround != 0, userOnGroundKnown != 0, userHalfWingSpan};
}

void gf_resetUserAircraft() {
    const std::lock_guard lock(userDataMutex);
    simUserData = UserAcPosition{};
    previousUserPosition = GeoPoint{};
    userAcPosition = UserAcPosition{};
    userOnGround = 0;
    userOnGroundKnown = 0;
    userAcTitle.clear();
    userAcStand.clear();
    userHalfWingSpan.reset();
    userAcObjectId.store(2);
    userAcKind.store(0);
    simUtcSeconds.store(0);
}

} // namespace zeph
