#include "traffic/static_plan.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include <fmt/format.h>
#include <gsl/narrow>

#include "aircraft/ac_profile.h"
#include "aircraft/aircraft_database.h"
#include "aircraft/livery_matcher.h"
#include "airports/stands.h"
#include "core/geodesy.h"
#include "core/log.h"
#include "core/strings.h"
#include "model/sim_records.h"
#include "settings/parameter_table.h"
#include "sim/ai_objects.h"
#include "sim/user_aircraft.h"
#include "state/main_window_state.h"
#include "state/run_state.h"
#include "traffic/making_way.h"
#include "traffic/park_airport_status.h"
#include "traffic/traffic_tables.h"

namespace zeph {

std::vector<KeptStatic> keptStatics;
std::vector<ParkingRemoval> parkingRemovalList;
std::unordered_set<std::string> seenCallsigns;
std::uint32_t staticHexidCounter = 0;

namespace {

constexpr std::uint32_t kStaticHexids = 10000;
constexpr double kDegreesPerRadian = 57.29577951308232;

bool hexidInUse(std::uint32_t hexid) {
    return std::any_of(staticAcTable.begin(), staticAcTable.end(),
                       [hexid](const StaticAc& aircraft) { return aircraft.hexid == hexid; });
}

bool onOrNextTo(std::uint32_t number, std::uint32_t standId, const ParkPos* stand) {
    if (number == 0) {
        return false;
    }
    if (number == standId) {
        return true;
    }
    return stand != nullptr && std::find(stand->adjacentStands.begin(), stand->adjacentStands.end(),
                                         number) != stand->adjacentStands.end();
}

// The refusal line for an entry whose stand or a neighbour is held by a live aircraft; empty when none.
std::string liveRefusal(const StaticPlanEntry& entry, const ParkPos* stand) {
    for (const LiveAc& live : liveAcTable) {
        if ((live.phase != AcPhase::parking && live.phase != AcPhase::parked) ||
            !onOrNextTo(live.standNumber, entry.standId, stand)) {
            continue;
        }
        const std::string name = lf_standText(entry.standId);
        if (live.standNumber == entry.standId) {
            return fmt::format("{:8}: no static parking for {}, live aircraft {} standing here", name,
                               entry.firstCallsign, live.callsign);
        }
        return fmt::format(
            "{:8}: no static parking for {}, live aircraft {} is adjacent at {}, possibly colliding", name,
            entry.firstCallsign, live.callsign, lf_standText(live.standNumber));
    }
    return {};
}

enum class StaticBlock { none, refused, deferred };

// A static on the entry's stand, or on a neighbour close enough that the wings would touch.
bool blocksEntry(const StaticAc& aircraft, const StaticPlanEntry& entry, const ParkPos* stand) {
    if (!onOrNextTo(aircraft.standNumber, entry.standId, stand)) {
        return false;
    }
    return aircraft.standNumber == entry.standId || wingsTouch(aircraft, entry.type, *stand);
}

// A static aircraft on or next to the entry's stand refuses it. One that is being removed (a re-planned
// static making way for its successor) puts the entry back once instead, at the front of the plan.
StaticBlock staticBlock(StaticPlanEntry& entry, const ParkPos* stand) {
    const auto blocker =
        std::find_if(staticAcTable.begin(), staticAcTable.end(),
                     [&](const StaticAc& aircraft) { return blocksEntry(aircraft, entry, stand); });
    if (blocker == staticAcTable.end()) {
        return StaticBlock::none;
    }
    if (blocker->state == AcState::removingfromsim && !entry.deferred) {
        entry.deferred = true;
        staticPlan.insert(staticPlan.begin(), entry);
        return StaticBlock::deferred;
    }
    gf_logText(fmt::format(
        "{:8}: no static parking for {}, static aircraft {} is adjacent at {}, possibly colliding",
        lf_standText(entry.standId), entry.firstCallsign, blocker->callsign,
        lf_standText(blocker->standNumber)));
    return StaticBlock::refused;
}

std::string callsignOf(const StaticPlanEntry& entry, std::uint32_t hexid) {
    if (entry.firstCallsign.empty()) {
        return fmt::format("{}{}{}", entry.airline, hexid, "*");
    }
    if (entry.stays != 0 || entry.coupledCallsign.empty()) {
        return lf_staticCallsign(entry.firstCallsign);
    }
    return lf_staticCallsign(entry.coupledCallsign);
}

AiCreateRequest creationRequestOf(const StaticAc& aircraft) {
    AiCreateRequest request;
    request.position.latitude = aircraft.standLatitude;
    request.position.longitude = aircraft.standLongitude;
    request.position.heading = aircraft.standHeading * kDegreesPerRadian;
    request.position.onGround = 1;
    request.callsign = aircraft.callsign;
    request.livery = std::string(aircraft.livery);
    request.hexid = aircraft.hexid;
    return request;
}

void buildStatic(const StaticPlanEntry& entry, const ParkPos& stand) {
    const std::uint32_t hexid = lf_nextStaticHexid();
    FlightIdentity identity;
    identity.airline = entry.airline;
    identity.type = entry.type;
    identity.callsign = callsignOf(entry, hexid);
    identity.firstCallsign = entry.firstCallsign;
    identity.coupledCallsign = entry.coupledCallsign;
    identity.registration = entry.registration;
    AcProfile profile = gf_makeAcProfile(identity);
    profile.hexid = hexid;
    staticAcTable.emplace_back(std::move(profile), stand.number, stand.latitude, stand.longitude,
                               stand.heading, stand.cargo);
    StaticAc& aircraft = staticAcTable.back();
    if (!gf_matchLivery(aircraft, stand)) {
        staticAcTable.pop_back();
        return;
    }
    const WeekSlot parked = slotBefore(WeekSlot::fromPacked(currentWeekSlot.load()), entry.age);
    aircraft.parkingDay = parked.day;
    aircraft.parkingHalfHour = parked.slot;
    aircraft.state = AcState::adding2sim;
    staticAddQueue.push_back(creationRequestOf(aircraft));
}

} // namespace

std::uint32_t lf_nextStaticHexid() {
    // A free hexid exists while fewer than 10,000 statics stand; bounded all the same.
    for (std::uint32_t tries = 0; tries < kStaticHexids; ++tries) {
        staticHexidCounter = (staticHexidCounter + 1) % kStaticHexids;
        if (!hexidInUse(staticHexidCounter)) {
            break;
        }
    }
    return staticHexidCounter;
}

void lf_detcs() {
    if (staticPlan.empty() || standList.empty()) {
        return;
    }
    StaticPlanEntry entry = std::move(staticPlan.back());
    staticPlan.pop_back();
    const ParkPos* stand = gf_standByNumber(entry.standId);
    if (const std::string refusal = liveRefusal(entry, stand); !refusal.empty()) {
        gf_logText(refusal);
        return;
    }
    if (staticBlock(entry, stand) != StaticBlock::none) {
        return;
    }
    if (stand == nullptr) {
        gf_logLine(fmt::format("stand with id {} not found", lf_standText(entry.standId)));
        return;
    }
    buildStatic(entry, *stand);
}

std::string lf_staticCallsign(std::string callsign) {
    while (!callsign.empty() && callsign.back() == '_') {
        callsign.pop_back();
    }
    if (!callsign.empty() && callsign.back() == '*') {
        return callsign;
    }
    return fmt::format("{}{}", callsign, "*");
}

bool wingsTouch(const StaticAc& aircraft, const std::string& type, const ParkPos& stand) {
    const double distance = gf_greatCircleDistance({aircraft.standLatitude, aircraft.standLongitude},
                                                   {stand.latitude, stand.longitude});
    return distance < aircraft.radius + gf_wingspanOfType(type);
}

bool lf_useGoesOn(const ParkPos& stand, const StandUse& use, WeekSlot now) {
    if (now.slot + 1 < 48) {
        return use.slots.test(now.slot + 1);
    }
    const std::uint32_t nextDay = now.day >= 7 ? 1U : now.day + 1;
    return std::any_of(stand.uses.begin(), stand.uses.end(), [&](const StandUse& other) {
        // Whatever its id: a use the search has used up still tells that the stay goes on.
        return other.day == nextDay && other.airline == use.airline && other.type == use.type &&
               other.slots.test(0);
    });
}

void lf_clearStandMarks() {
    for (ParkPos& stand : standList) {
        stand.reserved = false;
        stand.planned = false;
        stand.nextToPlanned = false;
    }
}

void lf_markStandTaken(ParkPos& stand) {
    stand.planned = true;
    for (const std::uint32_t number : stand.adjacentStands) {
        if (ParkPos* next = gf_standByNumber(number); next != nullptr) {
            next->nextToPlanned = true;
        }
    }
}

void lf_blockUserStands() {
    const std::string reserved = reservedStandCopy();
    if (!reserved.empty()) {
        if (const auto stand = gf_findStand(reserved); stand != standList.end()) {
            stand->reserved = true;
        }
    }
    const UserAcPosition position = userAircraftSnapshot().position;
    const std::string underUser = gf_closestStandId(GeoPoint{position.latitude, position.longitude});
    if (!underUser.empty() && underUser != reserved) {
        if (const auto stand = gf_findStand(underUser); stand != standList.end()) {
            stand->reserved = true;
        }
    }
}

std::int64_t lf_wantedStaticCount() {
    const std::int64_t maxPark = MAX_PARK_SEL.get();
    if (maxPark <= 0) {
        mainWindowState.maxPark.store(0);
        mainWindowState.maxParkPercent.store(parking_percentage.get());
        return 0;
    }
    const std::int32_t custom = CUSTOM_PARKING_PERCENTAGE.get();
    const std::int64_t percent = custom >= 0 ? custom : parking_percentage.get();
    const auto stands = static_cast<std::int64_t>(standList.size());
    // No static at 0 %, however few stands there are.
    std::int64_t count = percent == 0 ? 0 : 1;
    if (stands > 1 && (stands > 3 || percent >= 50)) {
        const double rounded = std::round(static_cast<double>(percent * stands) / 100.0);
        // Converting a double beyond the 32-bit range is undefined: refuse it with the narrowing error first.
        if (!(rounded >= std::numeric_limits<std::int32_t>::min() &&
              rounded <= std::numeric_limits<std::int32_t>::max())) {
            throw gsl::narrowing_error{};
        }
        count = gsl::narrow<std::int32_t>(rounded);
    }
    const std::int64_t wanted = std::min(maxPark, count);
    mainWindowState.maxPark.store(static_cast<std::int32_t>(wanted));
    mainWindowState.maxParkPercent.store(gf_percentage(wanted, stands));
    mainWindowState.invalidateArea(countersArea);
    return wanted;
}

} // namespace zeph
