#include "sim/commands.h"

#include <array>
#include <mutex>

#include "core/log.h"
#include "core/random.h"
#include "settings/parameter_table.h"
#include "sim/sim_ids.h"
#include "sim/sim_link.h"

namespace zeph {

namespace {

using namespace simid;

constexpr std::uint32_t kSpoilersOut = 16383;
// One draw in this many leaves the cabin dark at random.
constexpr std::uint32_t kCabinDraws = 10;

void queueEvent(std::uint32_t objectId, std::uint32_t event, std::uint32_t value) {
    const std::lock_guard lock(simConnectMutex);
    clientEventWork.push_back({objectId, event, value});
}

bool isRotorcraft(const StaticAc& aircraft) { return aircraft.kind == AcKind::Rotorcraft; }

std::uint32_t parkedCabinLight(const StaticAc& aircraft) {
    if (aircraft.cargoStand != 0) {
        return 0;
    }
    if (!RANDOM.get()) {
        return 1;
    }
    return randomEngine()() % kCabinDraws == kCabinDraws - 1 ? 0 : 1;
}

} // namespace

void gf_engineStart(std::uint32_t objectId) { queueEvent(objectId, kEventEngineStart, 0); }

void gf_engineShutdown(std::uint32_t objectId) { queueEvent(objectId, kEventEngineShutdown, 0); }

void gf_setNavLights(std::uint32_t objectId, std::uint32_t value) {
    queueEvent(objectId, kEventNavLights, value);
}

void gf_setCabinLights(std::uint32_t objectId, std::uint32_t value) {
    queueEvent(objectId, kEventCabinLights, value);
}

void gf_setLights(std::uint32_t objectId, const LightSet& lights) {
    struct Light {
        std::uint32_t event;
        LightSlot slot;
    };
    static constexpr Light order[] = {
        {kEventNavLights, navLight},         {kEventBeaconLights, beaconLight},
        {kEventLandingLights, landingLight}, {kEventTaxiLights, taxiLight},
        {kEventStrobes, strobeLight},        {kEventLogoLights, logoLight},
        {kEventCabinLights, cabinLight},
    };
    // One lock for all seven, so they leave in the same frame and in this order.
    const std::lock_guard lock(simConnectMutex);
    for (const Light& light : order) {
        clientEventWork.push_back({objectId, light.event, lights[light.slot]});
    }
}

void gf_setSpoilers(const StaticAc& aircraft, std::uint32_t value) {
    if (!isRotorcraft(aircraft)) {
        queueEvent(aircraft.objectId, kEventSpoilers, value != 0 ? kSpoilersOut : 0);
    }
}

void gf_setGear(const StaticAc& aircraft, std::uint8_t down) {
    if (!isRotorcraft(aircraft)) {
        queueEvent(aircraft.objectId, kEventGear, down);
    }
}

void gf_setFlaps(StaticAc& aircraft, std::uint32_t index) {
    if (index == aircraft.flapsIndex || isRotorcraft(aircraft)) {
        return;
    }
    if (index >= flapsValues.size()) {
        gf_logLine("gf_setFlaps: invalid flaps index");
    } else {
        queueEvent(aircraft.objectId, kEventFlaps, flapsValues[index]);
    }
    aircraft.flapsIndex = index;
}

void gf_setThrottle(StaticAc& aircraft, std::uint32_t index) {
    if (index == aircraft.throttleIndex) {
        return;
    }
    if (index < throttleValues.size()) {
        queueEvent(aircraft.objectId, kEventThrottle, throttleValues[index]);
    }
    aircraft.throttleIndex = index;
}

void gf_setControlLevers(const StaticAc& aircraft, double spoilersPercent, double throttlePercent) {
    if (aircraft.kind == AcKind::Light || simConnectError.load()) {
        return;
    }
    const std::array<double, 3> levers{spoilersPercent, throttlePercent, throttlePercent};
    const std::lock_guard lock(simConnectMutex);
    gf_simCalls().setDataOnSimObject(kDefineControls, aircraft.objectId, 0, 0, sizeof(levers), levers.data());
}

void gf_resetAcControls(StaticAc& aircraft) {
    gf_setThrottle(aircraft, 0);
    gf_setFlaps(aircraft, 0);
    gf_engineShutdown(aircraft.objectId);
    LightSet lights{};
    lights[navLight] = NAV_LIGHTS_WHILE_PARKED.get() ? 1 : 0;
    lights[logoLight] = 1;
    lights[cabinLight] = parkedCabinLight(aircraft);
    gf_setLights(aircraft.objectId, lights);
}

} // namespace zeph
