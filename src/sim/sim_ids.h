#pragma once
#include <cstdint>

// The fixed ids the program uses with the simulator. Their ranges never overlap: requests 101-110 and, for
// creations, 65536 upward; client and system events 201-223, the notification group 301, data definitions
// 401-409.

namespace zeph::simid {

// Requests; the comment names the call and the definition it carries.
inline constexpr std::uint32_t kRequestAcInRange = 101; // RequestDataOnSimObjectType, 404, aircraft
inline constexpr std::uint32_t kRequestStaticCg = 102;  // RequestDataOnSimObject, 405, a new AI object
inline constexpr std::uint32_t kRequestReleaseControl = 103;
// Each creation carries a request id of its own, from this one upward: the simulator names the object it
// made for a creation by that id.
inline constexpr std::uint32_t kFirstCreationRequest = 0x10000;
inline constexpr std::uint32_t kRequestRemoveObject = 105;
inline constexpr std::uint32_t kRequestUserTitle = 106;    // 407, user aircraft, once
inline constexpr std::uint32_t kRequestUserModel = 107;    // 408, user aircraft, once
inline constexpr std::uint32_t kRequestUserOnGround = 108; // 409, user aircraft, every second
inline constexpr std::uint32_t kRequestUserPosition = 109; // 403, user aircraft, once per call
inline constexpr std::uint32_t kRequestFlightPlan = 110;

// System events.
inline constexpr std::uint32_t kEventSim = 201;
inline constexpr std::uint32_t kEventObjectAdded = 202;
inline constexpr std::uint32_t kEventObjectRemoved = 203;
inline constexpr std::uint32_t kEventFrame = 204;
inline constexpr std::uint32_t kEventPositionChanged = 205;
inline constexpr std::uint32_t kEventFlightLoaded = 206;

// Client events, each mapped to the simulator event of the same name.
inline constexpr std::uint32_t kEventBeaconLights = 207;
inline constexpr std::uint32_t kEventNavLights = 208;
inline constexpr std::uint32_t kEventTaxiLights = 209;
inline constexpr std::uint32_t kEventStrobes = 210;
inline constexpr std::uint32_t kEventLandingLights = 211;
inline constexpr std::uint32_t kEventCabinLights = 212;
inline constexpr std::uint32_t kEventLogoLights = 213;
inline constexpr std::uint32_t kEventAllLightsToggle = 214;
inline constexpr std::uint32_t kEventFreezeLatLon = 215;
inline constexpr std::uint32_t kEventFreezeAltitude = 216;
inline constexpr std::uint32_t kEventFreezeAttitude = 217;
inline constexpr std::uint32_t kEventFlaps = 218;
inline constexpr std::uint32_t kEventSpoilers = 219;
inline constexpr std::uint32_t kEventGear = 220;
inline constexpr std::uint32_t kEventEngineStart = 221; // mapped, but not in the group
inline constexpr std::uint32_t kEventEngineShutdown = 222;
inline constexpr std::uint32_t kEventThrottle = 223;

// Every client event goes out with this group.
inline constexpr std::uint32_t kGroup = 301;

// Data definitions.
inline constexpr std::uint32_t kDefineControls = 401;      // spoilers and two throttles, written, 24 bytes
inline constexpr std::uint32_t kDefinePosition = 402;      // AI position, written every frame, 64 bytes
inline constexpr std::uint32_t kDefineUserPosition = 403;  // the user record, 96 bytes
inline constexpr std::uint32_t kDefineAcInRange = 404;     // aircraft in range, 56 bytes
inline constexpr std::uint32_t kDefineStaticCg = 405;      // 16 bytes
inline constexpr std::uint32_t kDefineLightOnStates = 406; // declared, never requested
inline constexpr std::uint32_t kDefineUserTitle = 407;     // text of variable length
inline constexpr std::uint32_t kDefineUserModel = 408;     // 32 bytes
inline constexpr std::uint32_t kDefineUserOnGround = 409;  // 8 bytes

// Periods of data requests: once, and every second.
inline constexpr std::uint32_t kPeriodOnce = 1;
inline constexpr std::uint32_t kPeriodSecond = 4;

// The object type of aircraft in by-type requests and in object events.
inline constexpr std::uint32_t kObjectTypeAircraft = 2;

} // namespace zeph::simid
