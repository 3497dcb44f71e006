#pragma once
#include <array>
#include <cstdint>

#include "model/records.h"

// Commands to one AI aircraft: lights, flaps, gear, spoilers, throttle and engines. Each queues client events
// for the next simulator frame (under simConnectMutex) and returns at once. Called on the traffic thread.

namespace zeph {

// The flaps index (0-4) as the FLAPS_SET value; index 4 means flaps up.
inline constexpr std::array<std::uint32_t, 5> flapsValues{0, 3072, 10240, 16383, 0};
// The throttle index (0-4) as the THROTTLE_SET value; index 5 means no throttle command.
inline constexpr std::array<std::uint32_t, 5> throttleValues{0, 4914, 8191, 11468, 16383};

// The lights of one aircraft, each 0 or 1, in this order.
enum LightSlot : std::size_t {
    navLight,
    beaconLight,
    landingLight,
    taxiLight,
    strobeLight,
    logoLight,
    cabinLight
};
using LightSet = std::array<std::uint32_t, 7>;

void gf_engineStart(std::uint32_t objectId);
void gf_engineShutdown(std::uint32_t objectId);
void gf_setNavLights(std::uint32_t objectId, std::uint32_t value);
void gf_setCabinLights(std::uint32_t objectId, std::uint32_t value);
// All seven lights, in one frame and in the order of LightSlot.
void gf_setLights(std::uint32_t objectId, const LightSet& lights);

// Spoilers full out for a non-zero value, else in. Rotorcraft get no spoilers, gear or flaps.
void gf_setSpoilers(const StaticAc& aircraft, std::uint32_t value);
// 1 down, 0 up.
void gf_setGear(const StaticAc& aircraft, std::uint8_t down);
// Sent only when the index changes; an index above 4 is logged and stored, and sends nothing.
void gf_setFlaps(StaticAc& aircraft, std::uint32_t index);
// Sent only when the index changes; 5 and above are stored and send nothing.
void gf_setThrottle(StaticAc& aircraft, std::uint32_t index);
// Spoilers handle and both throttle levers at once, in percent (data definition 401); the one writer of
// that definition. Nothing for a Light or while simConnectError is set. Takes simConnectMutex itself.
void gf_setControlLevers(const StaticAc& aircraft, double spoilersPercent, double throttlePercent);
// The aircraft at rest: throttle idle, flaps up, engines off, and the lights of a parked aircraft.
void gf_resetAcControls(StaticAc& aircraft);

} // namespace zeph
