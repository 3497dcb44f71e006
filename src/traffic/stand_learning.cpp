#include "traffic/stand_learning.h"

#include <algorithm>
#include <exception>
#include <stdexcept>
#include <vector>

#include <fmt/format.h>

#include "aircraft/regcodes.h"
#include "airports/stand_use.h"
#include "core/log.h"
#include "state/run_state.h"

namespace zeph {

namespace {

constexpr std::int32_t kLastSlot = 47;
constexpr std::int32_t kHeavyWindow = 14; // half hours each way of the coupled-callsign search
constexpr std::int32_t kOtherWindow = 10;

std::string withoutTrailingUnderscore(const std::string& text) {
    return text.ends_with('_') ? text.substr(0, text.size() - 1) : text;
}

// The word may not have been set yet (day 0) or come from a clock that could not be read (all ones): no use
// with such a day or slot may reach the learned file.
void checkWeekSlot(WeekSlot now) {
    if (now.slot > static_cast<std::uint32_t>(kLastSlot)) {
        throw std::out_of_range("invalid bitset position");
    }
    if (now.day < 1 || now.day > 7) {
        throw std::out_of_range("invalid weekday");
    }
}

// Every use counts, also one that the last static calculation used up (number 0): that mark says only that
// the calculation did not plan it, mostly because its aircraft is here now.
bool isTodaysRealUse(const StandUse& use, WeekSlot now, const std::string& registration) {
    return use.day == now.day && use.reg == registration && use.real == 1;
}

// Today's real uses of the registration, found in one walk over the stand's uses.
struct TodaysUses {
    bool parkFileDisagrees = false; // the park airport's own file has it here today, but not now
    StandUse* open = nullptr;       // the first learned one
};

TodaysUses todaysUses(ParkPos& stand, WeekSlot now, const std::string& registration) {
    TodaysUses found;
    for (StandUse& use : stand.uses) {
        if (!isTodaysRealUse(use, now, registration)) {
            continue;
        }
        if (use.fromParkFile == 1) {
            found.parkFileDisagrees = found.parkFileDisagrees || !use.slots.test(now.slot);
        } else if (found.open == nullptr) {
            found.open = &use;
        }
    }
    return found;
}

std::uint32_t highestSlot(const HalfHourSet& slots) {
    for (std::int32_t slot = kLastSlot; slot > 0; --slot) {
        if (slots.test(static_cast<std::size_t>(slot))) {
            return static_cast<std::uint32_t>(slot);
        }
    }
    return 0;
}

void takeRegistrationOwner(LiveAc& aircraft, const std::string& registration) {
    if (const auto known = gf_lookupRegcode(registration)) {
        aircraft.airline = known->opr.empty() ? known->airl : known->opr;
        aircraft.type = known->type;
    }
}

void recordUse(ParkPos& stand, LiveAc& aircraft, WeekSlot now, const std::string& registration,
               bool leaving) {
    const TodaysUses today = todaysUses(stand, now, registration);
    if (today.parkFileDisagrees) {
        return; // nothing is learned against the park airport's own file
    }
    StandUse* use = today.open;
    if (use != nullptr && use->id == 0) {
        // The used-up use is this stay's use: it gets back its number, the one the next renewal gives it
        // (uses are numbered by their place), so that it can be extended.
        use->id = static_cast<std::uint32_t>(use - stand.uses.data()) + 1;
    }
    if (use == nullptr || (use->coupled != 0 && !use->slots.test(now.slot))) {
        gf_addStandUse(stand, aircraft, now, aircraft.callsign, registration, leaving);
        return;
    }
    if (use->slots.test(now.slot)) {
        if (leaving) {
            use->coupled = 1;
        }
        return;
    }
    const std::uint32_t id = use->id;
    WeekSlot last{use->day, highestSlot(use->slots)};
    if (!lf_weekSlotSpan(now, stand, id, last, aircraft, registration, leaving)) {
        gf_addStandUse(stand, aircraft, now, aircraft.callsign, registration, leaving);
        return;
    }
    if (leaving) {
        // Looked up again by id: nothing may hold a pointer into the list across a change of it.
        const auto extended = std::find_if(stand.uses.begin(), stand.uses.end(),
                                           [id](const StandUse& u) { return u.id == id; });
        if (extended != stand.uses.end()) {
            extended->coupled = 1;
        }
    }
}

HalfHourSet slotsAround(std::int32_t halfHour, std::int32_t window) {
    HalfHourSet mask;
    for (std::int32_t slot = std::max(halfHour - window, 0); slot <= std::min(halfHour + window, kLastSlot);
         ++slot) {
        mask.set(static_cast<std::size_t>(slot));
    }
    return mask;
}

} // namespace

std::int32_t lf_occupationSpan(const LiveAc& aircraft) {
    if (aircraft.cargo != 0) {
        return 12;
    }
    return aircraft.kind == AcKind::Heavy ? 8 : 6;
}

void lf_addRealStandOption(std::uint32_t standNumber, LiveAc& aircraft, std::uint32_t mode) {
    const WeekSlot now = WeekSlot::fromPacked(currentWeekSlot.load());
    try {
        checkWeekSlot(now);
        const std::string registration = withoutTrailingUnderscore(aircraft.registration);
        if (registration.empty()) {
            return;
        }
        takeRegistrationOwner(aircraft, registration);
        ParkPos* stand = gf_standByNumber(standNumber);
        if (stand == nullptr) {
            return;
        }
        recordUse(*stand, aircraft, now, registration, mode == kStandLeftMode || mode == kStandAbandonedMode);
    } catch (const std::exception& e) {
        gf_logLine(fmt::format("{}: hh_now: {}, {}", "lf_addRealStandOption",
                               static_cast<std::int32_t>(now.slot), e.what()));
    }
}

bool lf_weekSlotSpan(WeekSlot now, ParkPos& stand, std::uint32_t useId, WeekSlot& last, LiveAc& aircraft,
                     const std::string& /*registration*/, bool /*coupled*/) {
    if (useId == 0 || last == now) {
        return true;
    }
    const std::int32_t elapsed = gf_halfHoursBetween(last, now);
    if (elapsed < 1 || elapsed >= lf_occupationSpan(aircraft) || last.day != now.day) {
        return false;
    }
    std::vector<std::uint32_t> slots = gf_slotsBefore(now, elapsed);
    if (!updateOptions(stand, slots, useId)) {
        return false;
    }
    gf_setStandUseName(stand, useId, aircraft.callsign);
    last = now;
    return true;
}

void lf_searchForCoupledCsAroundThisTime(std::uint64_t weekSlot, LiveAc& aircraft) {
    try {
        const auto [day, halfHour] = unpackWeekSlot(weekSlot);
        const HalfHourSet mask =
            slotsAround(halfHour, aircraft.kind == AcKind::Heavy ? kHeavyWindow : kOtherWindow);
        const std::string callsign = withoutTrailingUnderscore(aircraft.callsign);
        for (const ParkPos& stand : standList) {
            for (const StandUse& use : stand.uses) {
                if (use.id != 0 && use.day == static_cast<std::uint32_t>(day) && (use.slots & mask).any() &&
                    use.airline == aircraft.airline && !use.callsign2.empty() &&
                    (use.callsign == callsign || use.callsign2 == callsign)) {
                    aircraft.firstCallsign = use.callsign;
                    aircraft.coupledCallsign = use.callsign2;
                    return;
                }
            }
        }
    } catch (const std::exception& e) {
        gf_logLine(fmt::format("{}: {}", "lf_searchForCoupledCsAroundThisTime", e.what()));
    }
}

} // namespace zeph
