// The renewal of the static parking: what stands keeps its place when it still fits the time of the week,
// what the plan wants replaced goes, and the whole is trimmed to the wanted count.

#include <algorithm>

#include <fmt/format.h>

#include "airports/stand_use.h"
#include "airports/stands.h"
#include "core/strings.h"
#include "model/flight_texts.h"
#include "sim/ai_objects.h"
#include "state/main_window_state.h"
#include "state/run_state.h"
#include "state/status_line.h"
#include "traffic/making_way.h"
#include "traffic/max_fit.h"
#include "traffic/removal_rules.h"
#include "traffic/static_plan.h"
#include "traffic/traffic_tables.h"

namespace zeph {

namespace {

WeekSlot parkingSlotOf(const StaticAc& aircraft) {
    return WeekSlot{aircraft.parkingDay, aircraft.parkingHalfHour};
}

KeptStatic keptOf(const StaticAc& aircraft) {
    return KeptStatic{aircraft.callsign,       aircraft.firstCallsign, aircraft.coupledCallsign,
                      aircraft.registration,   aircraft.airline,       aircraft.type,
                      parkingSlotOf(aircraft), aircraft.standNumber,   0};
}

void removeAtEnd(const StaticAc& aircraft) {
    parkingRemovalList.push_back(ParkingRemoval{aircraft.callsign, aircraft.standNumber});
}

std::ptrdiff_t planIndexOf(std::uint32_t standId) {
    const auto found =
        std::find_if(staticPlan.begin(), staticPlan.end(),
                     [standId](const StaticPlanEntry& entry) { return entry.standId == standId; });
    return found == staticPlan.end() ? -1 : found - staticPlan.begin();
}

bool flightLiveNow(const StaticAc& aircraft) {
    return (!aircraft.firstCallsign.empty() && seenCallsigns.contains(aircraft.firstCallsign)) ||
           (!aircraft.coupledCallsign.empty() && seenCallsigns.contains(aircraft.coupledCallsign));
}

bool isPlannedOne(const StaticAc& aircraft, const StaticPlanEntry& entry) {
    return aircraft.airline == entry.airline && aircraft.type == entry.type &&
           (gf_equalsWithStar(entry.firstCallsign, aircraft.callsign) ||
            gf_equalsWithStar(entry.coupledCallsign, aircraft.callsign));
}

// A plan entry for a neighbouring stand close enough to touch the static: settled by the conflict rule.
bool neighbourConflict(const StaticAc& aircraft) {
    const ParkPos* stand = gf_standByNumber(aircraft.standNumber);
    if (stand == nullptr) {
        return false;
    }
    for (const std::uint32_t number : stand->adjacentStands) {
        const std::ptrdiff_t index = planIndexOf(number);
        const ParkPos* next = gf_standByNumber(number);
        if (index < 0 || next == nullptr) {
            continue;
        }
        if (wingsTouch(aircraft, staticPlan[static_cast<std::size_t>(index)].type, *next)) {
            lf_resolveStandConflict(aircraft, static_cast<std::size_t>(index));
            return true;
        }
    }
    return false;
}

bool sameAircraftUse(const StaticAc& aircraft, const StandUse& use, std::uint32_t day) {
    return use.day == day && use.reg == aircraft.registration && use.airline == aircraft.airline &&
           use.type == aircraft.type;
}

bool anySlotIn(const StandUse& use, std::uint32_t from, std::uint32_t to) {
    for (std::uint32_t slot = from; slot <= to; ++slot) {
        if (use.slots.test(slot)) {
            return true;
        }
    }
    return false;
}

// The static's own use covers a slot of the look-back window: the last L half hours up to now, reaching into
// the previous weekday when they pass midnight.
bool stillFits(const StaticAc& aircraft, WeekSlot now) {
    const ParkPos* stand = gf_standByNumber(aircraft.standNumber);
    if (stand == nullptr) {
        return false;
    }
    const std::int64_t lookBack =
        std::min<std::int64_t>(std::max(realFitLevel, softFitLevel), kLastSlotOfDay);
    const std::int64_t start = static_cast<std::int64_t>(now.slot) - lookBack;
    const std::uint32_t previousDay = now.day <= 1 ? 7U : now.day - 1;
    for (const StandUse& use : stand->uses) {
        if (sameAircraftUse(aircraft, use, now.day) &&
            anySlotIn(use, static_cast<std::uint32_t>(std::max<std::int64_t>(start, 0)), now.slot)) {
            return true;
        }
        if (start < 0 && sameAircraftUse(aircraft, use, previousDay) &&
            anySlotIn(use, kLastSlotOfDay - static_cast<std::uint32_t>(std::min<std::int64_t>(-start, 46)),
                      kLastSlotOfDay)) {
            return true;
        }
    }
    return false;
}

void placeOne(const StaticAc& aircraft, WeekSlot now) {
    if (flightLiveNow(aircraft)) {
        removeAtEnd(aircraft);
        return;
    }
    if (const std::ptrdiff_t index = planIndexOf(aircraft.standNumber); index >= 0) {
        if (isPlannedOne(aircraft, staticPlan[static_cast<std::size_t>(index)])) {
            keptStatics.push_back(keptOf(aircraft));
            staticPlan.erase(staticPlan.begin() + index);
        } else {
            lf_resolveStandConflict(aircraft, static_cast<std::size_t>(index));
        }
        return;
    }
    if (neighbourConflict(aircraft)) {
        return;
    }
    if (stillFits(aircraft, now)) {
        keptStatics.push_back(keptOf(aircraft));
    } else {
        removeAtEnd(aircraft);
    }
}

// A kept static whose arrival use ends with this half hour is to leave as its departure flight.
void markReplan(KeptStatic& kept, WeekSlot now) {
    if (kept.coupledCallsign.empty() || kept.callsign.find(kept.firstCallsign) == std::string::npos) {
        return;
    }
    const ParkPos* stand = gf_standByNumber(kept.standId);
    if (stand == nullptr) {
        return;
    }
    std::string name = kept.callsign;
    if (!name.empty() && name.back() == '*') {
        name.pop_back();
    }
    // The search has usually used this use up, because the static itself stands for it; it still tells
    // whether the stay goes on.
    const auto use = std::find_if(stand->uses.begin(), stand->uses.end(), [&](const StandUse& u) {
        return u.callsign == name && u.day == now.day && u.airline == kept.airline && u.type == kept.type;
    });
    if (use != stand->uses.end()) {
        kept.replan = lf_useGoesOn(*stand, *use, now) ? 0 : 1;
    }
}

void startRenewal() {
    mainWindowState.softMode.store(false);
    mainWindowState.weekMode.store(false);
    mainWindowState.invalidateArea(countersArea);
    parkingRemovalList.clear();
    keptStatics.clear();
    liveParkedList.clear();
    staticPlan.clear();
    lf_clearStandMarks();
    for (ParkPos& stand : standList) {
        gf_numberStandUses(stand.uses);
    }
    lf_blockUserStands();
}

void listParkedLive(std::int64_t wanted) {
    lf_listParkedLive();
    const auto parked = static_cast<std::int64_t>(liveParkedList.size());
    if (wanted > 0 && parked > wanted) {
        gf_setStatus(fmt::format("Parking adjustments: {} more live ac than wanted", parked - wanted), true);
        lf_removeLiveParked(static_cast<int>(parked - wanted));
        lf_listParkedLive();
    }
    for (const ParkedLive& live : liveParkedList) {
        if (ParkPos* stand = gf_standByNumber(live.standNumber); stand != nullptr) {
            lf_markStandTaken(*stand);
        }
    }
}

// Re-planned statics become plan entries under their departure callsign, keeping their parking slot.
void replanKept(WeekSlot now) {
    std::vector<KeptStatic> staying;
    for (KeptStatic& kept : keptStatics) {
        if (kept.replan == 0) {
            staying.push_back(std::move(kept));
            continue;
        }
        const auto age = static_cast<std::uint32_t>(std::min(gf_halfHoursBetween(kept.parkingSlot, now), 47));
        staticPlan.push_back(StaticPlanEntry{kept.standId, age, kept.airline, kept.type, kept.firstCallsign,
                                             kept.coupledCallsign, kept.registration, 0, false});
        parkingRemovalList.push_back(ParkingRemoval{kept.callsign, kept.standId});
    }
    keptStatics = std::move(staying);
}

void removeListed() {
    for (const ParkingRemoval& removal : parkingRemovalList) {
        const auto found = std::find_if(staticAcTable.begin(), staticAcTable.end(), [&](const StaticAc& s) {
            return s.standNumber == removal.standId &&
                   (s.state == AcState::active || s.state == AcState::removingfromsim);
        });
        // One that is being removed already needs no second removal of its object.
        if (found != staticAcTable.end() && found->state == AcState::active) {
            removeAircraftFromSim(*found);
        }
    }
    parkingRemovalList.clear();
}

} // namespace

void lf_resolveStandConflict(const StaticAc& aircraft, std::size_t entry) {
    const WeekSlot now = WeekSlot::fromPacked(currentWeekSlot.load());
    const WeekSlot start = slotBefore(now, staticPlan[entry].age);
    if (gf_halfHoursBetween(parkingSlotOf(aircraft), now) > gf_halfHoursBetween(start, now)) {
        removeAtEnd(aircraft);
        return;
    }
    keptStatics.push_back(keptOf(aircraft));
    staticPlan.erase(staticPlan.begin() + static_cast<std::ptrdiff_t>(entry));
}

void lf_placeStatic(WeekSlot now) {
    for (const StaticAc& aircraft : staticAcTable) {
        if (aircraft.state == AcState::active) {
            placeOne(aircraft, now);
        }
    }
    // Latest parked first, by half hours before now: the trim takes the earliest from the back, and Sunday
    // 23:30 was parked before Monday 00:00.
    std::stable_sort(keptStatics.begin(), keptStatics.end(), [now](const KeptStatic& a, const KeptStatic& b) {
        return gf_halfHoursBetween(a.parkingSlot, now) < gf_halfHoursBetween(b.parkingSlot, now);
    });
    for (KeptStatic& kept : keptStatics) {
        markReplan(kept, now);
    }
}

void lf_trimToWanted(std::int64_t wanted) {
    std::int64_t excess =
        static_cast<std::int64_t>(staticPlan.size() + keptStatics.size() + liveParkedList.size()) - wanted;
    for (; excess > 0; --excess) {
        if (!staticPlan.empty()) {
            staticPlan.pop_back();
        } else if (!keptStatics.empty()) {
            parkingRemovalList.push_back(
                ParkingRemoval{keptStatics.back().callsign, keptStatics.back().standId});
            keptStatics.pop_back();
        } else if (!liveParkedList.empty()) {
            const std::uint32_t stand = liveParkedList.back().standNumber;
            liveParkedList.pop_back();
            // The aircraft parked there, not one pushing back from the stand with its number still held.
            const auto live = std::find_if(liveAcTable.begin(), liveAcTable.end(), [stand](const LiveAc& a) {
                return a.state == AcState::active && a.phase == AcPhase::parked && a.standNumber == stand;
            });
            if (live != liveAcTable.end()) {
                removeAircraftFromSim(*live);
            }
        } else {
            break;
        }
    }
}

void lf_parkingAdjustments() {
    const WeekSlot now = lf_logDayText();
    lf_clearStaticScratch();
    startRenewal();
    const std::int64_t wanted = lf_wantedStaticCount();
    listParkedLive(wanted);
    const auto present = static_cast<std::int64_t>(liveParkedList.size());
    if (wanted != present) {
        lf_maxFitSearch(now, wanted, present);
    }
    lf_placeStatic(now);
    replanKept(now);
    lf_trimToWanted(wanted);
    std::stable_sort(staticPlan.begin(), staticPlan.end(),
                     [](const StaticPlanEntry& a, const StaticPlanEntry& b) { return a.age > b.age; });
    gf_setStatus(fmt::format("Parking adjustments: {} to be removed, {} to be added\n",
                             parkingRemovalList.size(), staticPlan.size()),
                 true);
    removeListed();
}

} // namespace zeph
