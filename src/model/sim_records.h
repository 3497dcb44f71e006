#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

// The records the traffic engine hands to the simulator link.

namespace zeph {

// The initial position of an AI creation, laid out byte for byte as the simulator's creation call takes
// it: six doubles, then two 32-bit values, 56 bytes without padding.
struct AiInitPosition {
    double latitude = 0.0;      // degrees
    double longitude = 0.0;     // degrees
    double altitude = 0.0;      // feet
    double pitch = 0.0;         // degrees
    double bank = 0.0;          // degrees
    double heading = 0.0;       // degrees, true
    std::uint32_t onGround = 0; // 1 on the ground, 0 in the air
    std::uint32_t airspeed = 0; // knots; always 0
};
static_assert(sizeof(AiInitPosition) == 56);
static_assert(offsetof(AiInitPosition, latitude) == 0);
static_assert(offsetof(AiInitPosition, longitude) == 8);
static_assert(offsetof(AiInitPosition, altitude) == 16);
static_assert(offsetof(AiInitPosition, pitch) == 24);
static_assert(offsetof(AiInitPosition, bank) == 32);
static_assert(offsetof(AiInitPosition, heading) == 40);
static_assert(offsetof(AiInitPosition, onGround) == 48);
static_assert(offsetof(AiInitPosition, airspeed) == 52);

// One AI creation, handed from an add queue to the simulator link's creation work list.
struct AiCreateRequest {
    AiInitPosition position;
    std::string callsign;    // tail number and ATC id of the new object
    std::string livery;      // title of the livery to create; a copy, so a new livery scan cannot free it
    std::uint32_t hexid = 0; // the key of the record the object is made for
};

// One position of an AI object, sent at the next simulator frame. The eight values are laid out in the
// order of the simulator link's position data definition, so the block goes out as it is.
struct AiPositionData {
    double latitude = 0.0;      // degrees
    double longitude = 0.0;     // degrees
    double pitch = 0.0;         // radians, negative nose up
    double bank = 0.0;          // radians
    double heading = 0.0;       // radians, true
    double altitude = 0.0;      // feet
    double verticalSpeed = 0.0; // feet per second
    double trueAirspeed = 0.0;  // knots
    std::uint32_t objectId = 0; // the simulator object the values are for
};
static_assert(offsetof(AiPositionData, latitude) == 0);
static_assert(offsetof(AiPositionData, trueAirspeed) == 56);
static_assert(offsetof(AiPositionData, objectId) == 64);

} // namespace zeph
