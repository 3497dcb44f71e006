#include "traffic/max_fit.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <exception>

#include <fmt/format.h>
#include <gsl/narrow>

#include "airports/stands.h"
#include "core/log.h"
#include "core/strings.h"
#include "core/time_text.h"
#include "realtraffic/traffic_reader.h"
#include "settings/max_fit_hours.h"
#include "settings/parameter_table.h"
#include "settings/random_choice.h"
#include "state/main_window_state.h"
#include "state/run_state.h"
#include "state/window_port.h"
#include "traffic/making_way.h"
#include "traffic/traffic_tables.h"

namespace zeph {

std::int32_t realFitLevel = 0;
std::int32_t softFitLevel = -1;
std::vector<StaticPlanEntry> fitOutList;

namespace {

constexpr std::array<std::string_view, 7> kDayNames{"Mon", "Tue", "Wed", "Thu", "Fri", "Sat", "Sun"};

std::string_view dayName(std::uint32_t day) { return day >= 1 && day <= 7 ? kDayNames[day - 1] : "???"; }

std::string_view modeName(bool real, bool sameDay) {
    if (real) {
        return sameDay ? "real" : "week/real";
    }
    return sameDay ? "soft" : "week/soft";
}

// Equal and not empty: a use without callsign or registration stands for no particular aircraft.
bool sameText(const std::string& a, const std::string& b) { return !a.empty() && a == b; }

bool plannedAlready(const StandUse& use, const std::vector<StaticPlanEntry>& entries) {
    return std::any_of(entries.begin(), entries.end(), [&](const StaticPlanEntry& entry) {
        return sameText(entry.registration, use.reg) || sameText(entry.firstCallsign, use.callsign) ||
               sameText(entry.firstCallsign, use.callsign2);
    });
}

std::int64_t takenStands() {
    return std::count_if(standList.begin(), standList.end(),
                         [](const ParkPos& stand) { return stand.planned; });
}

// The first active static on each stand, by stand number; built once per level.
std::vector<const StaticAc*> activeStaticsByStand() {
    std::vector<const StaticAc*> byStand(standList.size() + 1, nullptr);
    for (const StaticAc& aircraft : staticAcTable) {
        if (aircraft.state == AcState::active && aircraft.standNumber < byStand.size() &&
            byStand[aircraft.standNumber] == nullptr) {
            byStand[aircraft.standNumber] = &aircraft;
        }
    }
    return byStand;
}

// A static standing next to the stand that a use of this type would touch.
bool neighbourTooClose(const ParkPos& stand, const std::string& type,
                       const std::vector<const StaticAc*>& byStand) {
    return std::any_of(stand.adjacentStands.begin(), stand.adjacentStands.end(), [&](std::uint32_t number) {
        const StaticAc* aircraft = number < byStand.size() ? byStand[number] : nullptr;
        return aircraft != nullptr && wingsTouch(*aircraft, type, stand);
    });
}

bool useFits(const StandUse& use, WeekSlot examined, bool real, bool sameDay) {
    return use.id != 0 && (!sameDay || use.day == examined.day) && (use.real != 0) == real &&
           use.slots.test(examined.slot);
}

std::vector<std::uint32_t> candidateIds(const ParkPos& stand, WeekSlot examined, bool real, bool sameDay,
                                        const std::vector<const StaticAc*>& byStand) {
    std::vector<std::uint32_t> candidates;
    if ((stand.heli && !HELICOPTERS.get()) || stand.nextToPlanned) {
        return candidates;
    }
    candidates.reserve(256);
    for (const StandUse& use : stand.uses) {
        if (useFits(use, examined, real, sameDay) && !neighbourTooClose(stand, use.type, byStand)) {
            candidates.push_back(use.id);
        }
    }
    return candidates;
}

// With RANDOM, a static already standing here as one of the stand's uses keeps its place; else any candidate.
std::uint32_t chooseCandidate(const ParkPos& stand, std::vector<std::uint32_t>& candidates) {
    if (candidates.size() < 2 || !RANDOM.get()) {
        return candidates.front();
    }
    for (const StaticAc& aircraft : staticAcTable) {
        if (aircraft.standNumber != stand.number) {
            continue;
        }
        for (const StandUse& use : stand.uses) {
            if (aircraft.airline == use.airline && aircraft.type == use.type &&
                (gf_equalsWithStar(use.callsign, aircraft.callsign) ||
                 gf_equalsWithStar(use.callsign2, aircraft.callsign))) {
                return use.id;
            }
        }
    }
    gf_shuffleList(candidates);
    return candidates.front();
}

void searchStand(ParkPos& stand, WeekSlot now, WeekSlot examined, bool real, bool sameDay, std::int32_t level,
                 const std::vector<const StaticAc*>& byStand, std::vector<StaticPlanEntry>& out) {
    std::vector<std::uint32_t> candidates = candidateIds(stand, examined, real, sameDay, byStand);
    if (candidates.empty()) {
        return;
    }
    const std::uint32_t chosen = chooseCandidate(stand, candidates);
    const auto use = std::find_if(stand.uses.begin(), stand.uses.end(),
                                  [chosen](const StandUse& u) { return u.id > 0 && u.id == chosen; });
    if (use == stand.uses.end()) {
        return;
    }
    if (lf_useAlreadyPresent(*use)) {
        use->id = 0;
        return;
    }
    const bool stays = use->callsign2.empty() || lf_useGoesOn(stand, *use, now);
    out.push_back(StaticPlanEntry{stand.number, static_cast<std::uint32_t>(level), use->airline, use->type,
                                  use->callsign, use->callsign2, use->reg, static_cast<std::uint8_t>(stays),
                                  false});
    lf_markStandTaken(stand);
}

void logFound(std::int64_t found, WeekSlot now, bool real, bool sameDay, std::int32_t level) {
    gf_logText(
        fmt::format("{} {} position{} found, Max fit={:.1F} hours{}{}", found, modeName(real, sameDay),
                    found == 1 ? "" : "s", MAX_FIT_FL.get(), fmt::format(", day {}", now.day),
                    fmt::format(", hh:{} or {:.1F} hrs, fit: {:.1F} hour", now.slot,
                                lf_maxFitHours(static_cast<std::int32_t>(now.slot)), lf_maxFitHours(level))));
}

bool belowWanted(std::int64_t wanted, std::int64_t present) {
    return static_cast<std::int64_t>(staticPlan.size()) + present < wanted;
}

void dropFromEnd(std::vector<StaticPlanEntry>& list, std::int64_t count) {
    list.resize(list.size() - static_cast<std::size_t>(count));
}

} // namespace

void lf_clearStaticScratch() {
    seenCallsigns = trafficReader.takeSeenCallsigns();
    fitOutList.clear();
}

WeekSlot lf_logDayText() {
    const WeekSlot now = WeekSlot::fromPacked(currentWeekSlot.load());
    gf_logText(fmt::format("\n{} (utc) It is day {} ({}), {:.1F} hours", gf_trafficClockText(), now.day,
                           dayName(now.day), lf_maxFitHours(static_cast<std::int32_t>(now.slot))));
    return now;
}

bool lf_callsignSeen(std::string_view callsign) {
    std::string name(callsign);
    if (seenCallsigns.contains(name)) {
        return true;
    }
    name.push_back('_');
    return seenCallsigns.contains(name);
}

bool lf_useAlreadyPresent(const StandUse& use) {
    if ((!use.callsign.empty() && lf_callsignSeen(use.callsign)) ||
        (!use.callsign2.empty() && lf_callsignSeen(use.callsign2))) {
        return true;
    }
    // The finds of the level under way count like the plan, so one aircraft is not planned twice.
    if (plannedAlready(use, staticPlan) || plannedAlready(use, fitOutList)) {
        return true;
    }
    const bool standing =
        std::any_of(staticAcTable.begin(), staticAcTable.end(), [&](const StaticAc& aircraft) {
            return sameText(aircraft.firstCallsign, use.callsign) ||
                   sameText(aircraft.firstCallsign, use.callsign2) ||
                   sameText(aircraft.registration, use.reg);
        });
    return standing || std::any_of(liveParkedList.begin(), liveParkedList.end(), [&](const ParkedLive& live) {
               return sameText(live.callsign, use.callsign) || sameText(live.callsign, use.callsign2);
           });
}

void lf_searchStands(WeekSlot now, bool real, bool sameDay, std::int32_t level,
                     std::vector<StaticPlanEntry>& out) {
    const WeekSlot examined = slotBefore(now, static_cast<std::uint32_t>(level));
    try {
        const std::vector<const StaticAc*> byStand = activeStaticsByStand();
        for (ParkPos& stand : standList) {
            if (!stand.reserved && !stand.planned) {
                searchStand(stand, now, examined, real, sameDay, level, byStand, out);
            }
        }
    } catch (const std::exception& e) {
        gf_logLine(fmt::format("{}: day: {}, offset {}: {}", "lf_searchStands",
                               fmt::format("[{},{}]", examined.day, examined.slot), level, e.what()));
    }
}

bool lf_maxFitReport(WeekSlot now, bool real, bool sameDay, std::int64_t wanted,
                     std::vector<StaticPlanEntry>& out) {
    if (wanted == 0) {
        return true;
    }
    const std::int64_t before = takenStands();
    std::int32_t level = 0;
    bool enough = false;
    while (true) {
        lf_searchStands(now, real, sameDay, level, out);
        if (takenStands() >= wanted) {
            enough = true;
            break;
        }
        staticPlan.insert(staticPlan.end(), out.begin(), out.end());
        out.clear();
        if (++level > MAX_FIT.get()) {
            break;
        }
    }
    const std::int64_t found = takenStands() - before;
    if (real) {
        realFitLevel = level;
        softFitLevel = -1;
    } else {
        softFitLevel = level;
    }
    if (found <= 0) {
        return enough;
    }
    logFound(found, now, real, sameDay, level);
    mainWindowState.softMode.store(!real);
    mainWindowState.weekMode.store(!sameDay);
    mainWindowState.invalidateArea(countersArea);
    return enough;
}

void lf_fitMode(WeekSlot now, std::int64_t wanted, std::int64_t present, bool real, bool sameDay) {
    fitOutList.clear();
    if (!lf_maxFitReport(now, real, sameDay, wanted, fitOutList)) {
        return;
    }
    const auto planned = [&] { return static_cast<std::int64_t>(staticPlan.size()); };
    const std::int64_t surplus = planned() + present + static_cast<std::int64_t>(fitOutList.size()) - wanted;
    if (surplus > 0) {
        gf_shuffleList(fitOutList);
        if (surplus <= static_cast<std::int64_t>(fitOutList.size())) {
            dropFromEnd(fitOutList, surplus);
        }
    }
    staticPlan.insert(staticPlan.end(), fitOutList.begin(), fitOutList.end());
    fitOutList.clear();
    const std::int64_t over = planned() + present - wanted;
    if (over > 0 && over <= planned()) {
        dropFromEnd(staticPlan, over);
    }
}

void lf_maxFitSearch(WeekSlot now, std::int64_t wanted, std::int64_t present) {
    realFitLevel = 0;
    softFitLevel = -1;
    lf_fitMode(now, wanted, present, true, true);
    if (belowWanted(wanted, present) && WEEK.get()) {
        lf_fitMode(now, wanted, present, true, false);
    }
    if (belowWanted(wanted, present) && PARK_SOFT.get()) {
        lf_fitMode(now, wanted, present, false, true);
    }
    if (belowWanted(wanted, present) && PARK_SOFT.get() && WEEK.get()) {
        lf_fitMode(now, wanted, present, false, false);
    }
}

namespace {

void sortByAge(bool largestFirst) {
    std::stable_sort(staticPlan.begin(), staticPlan.end(), [largestFirst](const auto& a, const auto& b) {
        return largestFirst ? a.age > b.age : a.age < b.age;
    });
}

void startFirstCalculation() {
    staticPlan.clear();
    keptStatics.clear();
    liveParkedList.clear();
    mainWindowState.liveAverageFit.store(-1.0F);
    mainWindowState.staticAverageFit.store(-1.0F);
    mainWindowState.softMode.store(false);
    mainWindowState.weekMode.store(false);
    mainWindowState.invalidateArea(countersArea);
    lf_clearStaticScratch();
    lf_clearStandMarks();
    lf_blockUserStands();
}

} // namespace

void lf_staticPositionsReport() {
    const WeekSlot now = lf_logDayText();
    gf_disableControls();
    startFirstCalculation();
    const std::int64_t wanted = lf_wantedStaticCount();
    if (wanted > static_cast<std::int64_t>(staticPlan.size())) {
        lf_maxFitSearch(now, wanted, 0);
    }
    sortByAge(false);
    if (static_cast<std::int64_t>(staticPlan.size()) > wanted) {
        staticPlan.resize(static_cast<std::size_t>(std::max<std::int64_t>(wanted, 0)));
    }
    if (staticPlan.empty()) {
        gf_logText("no parking positions found");
        gf_enableControls();
        return;
    }
    const auto length = static_cast<std::int64_t>(staticPlan.size());
    const auto stands = static_cast<std::int64_t>(standList.size());
    const std::int32_t percent =
        stands == 0 ? 0
                    : gsl::narrow<std::int32_t>(
                          std::llround(static_cast<double>(length * 100) / static_cast<double>(stands)));
    gf_logText(fmt::format("{} positions ({}% vs wanted {}%, with Max fit={:.1F} hours)\n", length, percent,
                           parking_percentage.get(), MAX_FIT_FL.get()));
    sortByAge(true);
}

} // namespace zeph
