#include "sim/definitions.h"

#include <array>
#include <span>
#include <string_view>

#include "sim/sim_ids.h"
#include "sim/sim_link.h"
#include "sim/simconnect/calls.h"

namespace zeph {

namespace {

using namespace simid;

// Datum types of a definition.
constexpr std::uint32_t kInt64 = 2;
constexpr std::uint32_t kFloat64 = 4;
constexpr std::uint32_t kText32 = 6;
constexpr std::uint32_t kTextVariable = 11;

struct NamedId {
    std::uint32_t id;
    const char* name;
};

struct Datum {
    const char* name;
    const char* units; // nullptr: no units
    std::uint32_t type;
};

struct Definition {
    std::uint32_t id;
    std::span<const Datum> datums;
};

// In the order of subscription: "Frame" last, so no frame arrives before everything else is declared.
constexpr std::array<NamedId, 6> systemEvents{{
    {kEventSim, "Sim"},
    {kEventObjectAdded, "ObjectAdded"},
    {kEventObjectRemoved, "ObjectRemoved"},
    {kEventPositionChanged, "PositionChanged"},
    {kEventFlightLoaded, "FlightLoaded"},
    {kEventFrame, "Frame"},
}};

constexpr std::array<Datum, 3> controlsDatums{{
    {"SPOILERS HANDLE POSITION", "percent", kFloat64},
    {"GENERAL ENG THROTTLE LEVER POSITION:1", "percent", kFloat64},
    {"GENERAL ENG THROTTLE LEVER POSITION:2", "percent", kFloat64},
}};

constexpr std::array<Datum, 8> positionDatums{{
    {"Plane Latitude", "degree", kFloat64},
    {"Plane Longitude", "degree", kFloat64},
    {"Plane Pitch degrees", "radians", kFloat64},
    {"Plane Bank degrees", "radians", kFloat64},
    {"Plane Heading degrees true", "radians", kFloat64},
    {"Plane Altitude", "feet", kFloat64},
    {"Vertical Speed", "feet per second", kFloat64},
    {"Airspeed True", "knots", kFloat64},
}};

constexpr std::array<Datum, 12> userPositionDatums{{
    {"Plane Latitude", "degree", kFloat64},
    {"Plane Longitude", "degree", kFloat64},
    {"Plane Pitch degrees", "radians", kFloat64},
    {"Plane Bank degrees", "radians", kFloat64},
    {"Plane Heading degrees true", "radians", kFloat64},
    {"Plane Altitude", "feet", kFloat64},
    {"Plane Alt Above Ground", "feet", kFloat64},
    {"Ground Velocity", "knots", kFloat64},
    {"ZULU TIME", "Seconds", kInt64},
    {"ZULU DAY OF YEAR", "Number", kInt64},
    {"ZULU YEAR", "Number", kInt64},
    {"LIGHT STATES", "Mask", kInt64},
}};

constexpr std::array<Datum, 4> acInRangeDatums{{
    {"Plane Alt Above Ground", "feet", kFloat64},
    {"Ground Altitude", "feet", kFloat64},
    {"SIM ON GROUND", "Bool", kInt64},
    {"ATC ID", nullptr, kText32},
}};

constexpr std::array<Datum, 2> staticCgDatums{{
    {"Static CG to Ground", "feet", kFloat64},
    {"Static Pitch", "radians", kFloat64},
}};

constexpr std::array<Datum, 1> lightOnStatesDatums{{{"Light On States", "Mask", kInt64}}};
constexpr std::array<Datum, 1> userTitleDatums{{{"TITLE", nullptr, kTextVariable}}};
constexpr std::array<Datum, 1> userModelDatums{{{"ATC MODEL", nullptr, kText32}}};
constexpr std::array<Datum, 1> userOnGroundDatums{{{"SIM ON GROUND", "Bool", kInt64}}};

// In the order they are built. 406 is kept although no request reads it: the simulator has always been
// told of it, and dropping it would change nothing but the count of declarations.
constexpr std::array<Definition, 9> definitions{{
    {kDefineUserTitle, userTitleDatums},
    {kDefineUserModel, userModelDatums},
    {kDefineUserOnGround, userOnGroundDatums},
    {kDefinePosition, positionDatums},
    {kDefineUserPosition, userPositionDatums},
    {kDefineStaticCg, staticCgDatums},
    {kDefineLightOnStates, lightOnStatesDatums},
    {kDefineAcInRange, acInRangeDatums},
    {kDefineControls, controlsDatums},
}};

// In the order they are mapped.
constexpr std::array<NamedId, 17> clientEvents{{
    {kEventGear, "GEAR_SET"},
    {kEventEngineStart, "ENGINE_AUTO_START"},
    {kEventEngineShutdown, "ENGINE_AUTO_SHUTDOWN"},
    {kEventThrottle, "THROTTLE_SET"},
    {kEventFlaps, "FLAPS_SET"},
    {kEventSpoilers, "SPOILERS_SET"},
    {kEventNavLights, "NAV_LIGHTS_SET"},
    {kEventBeaconLights, "BEACON_LIGHTS_SET"},
    {kEventLandingLights, "LANDING_LIGHTS_SET"},
    {kEventTaxiLights, "TAXI_LIGHTS_SET"},
    {kEventStrobes, "STROBES_SET"},
    {kEventLogoLights, "LOGO_LIGHTS_SET"},
    {kEventCabinLights, "CABIN_LIGHTS_SET"},
    {kEventAllLightsToggle, "ALL_LIGHTS_TOGGLE"},
    {kEventFreezeLatLon, "FREEZE_LATITUDE_LONGITUDE_SET"},
    {kEventFreezeAltitude, "FREEZE_ALTITUDE_SET"},
    {kEventFreezeAttitude, "FREEZE_ATTITUDE_SET"},
}};

// The group's members, in the order they are added; ENGINE_AUTO_START is not one of them.
constexpr std::array<std::uint32_t, 16> groupMembers{
    kEventNavLights, kEventBeaconLights, kEventLandingLights,  kEventTaxiLights,
    kEventStrobes,   kEventLogoLights,   kEventCabinLights,    kEventAllLightsToggle,
    kEventFlaps,     kEventSpoilers,     kEventGear,           kEventEngineShutdown,
    kEventThrottle,  kEventFreezeLatLon, kEventFreezeAltitude, kEventFreezeAttitude,
};

constexpr std::uint32_t kHighestPriority = 1;

} // namespace

void lf_addToNotificationGroup(std::uint32_t eventId) {
    SimConnect_AddClientEventToNotificationGroup(simClientHandle, kGroup, eventId, true);
}

void lf_setupSimDefinitions() {
    SimConnectClient* handle = simClientHandle;
    for (const NamedId& event : systemEvents) {
        SimConnect_SubscribeToSystemEvent(handle, event.id, event.name);
    }
    for (const Definition& definition : definitions) {
        for (const Datum& datum : definition.datums) {
            SimConnect_AddToDataDefinition(handle, definition.id, datum.name, datum.units, datum.type);
        }
    }
    for (const NamedId& event : clientEvents) {
        SimConnect_MapClientEventToSimEvent(handle, event.id, event.name);
    }
    for (std::uint32_t eventId : groupMembers) {
        lf_addToNotificationGroup(eventId);
    }
    SimConnect_SetNotificationGroupPriority(handle, kGroup, kHighestPriority);
}

} // namespace zeph
