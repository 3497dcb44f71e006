#pragma once
#include <cstdint>
#include <string_view>
#include <vector>

#include "core/half_hours.h"
#include "traffic/static_plan.h"

// The stand search of the static parking: the stands whose learned uses fit the current half hour of the
// week best, level by level back in time, in the modes real, week/real, soft and week/soft. Traffic thread.

namespace zeph {

struct StandUse;

// The levels the last real and soft modes stopped at (0 and -1 at the start of each search); the renewal's
// look-back window reads them.
extern std::int32_t realFitLevel;
extern std::int32_t softFitLevel;

// The finds of the level being searched, not yet in the plan.
extern std::vector<StaticPlanEntry> fitOutList;

// Takes the seen callsigns from the Traffic Reader (which stops collecting) and empties fitOutList.
void lf_clearStaticScratch();

// Logs the day line and returns the current week slot.
WeekSlot lf_logDayText();

// Runs the modes until the plan and the present aircraft reach wanted.
void lf_maxFitSearch(WeekSlot now, std::int64_t wanted, std::int64_t present);

// One mode: its levels, then its finds into the plan without surplus.
void lf_fitMode(WeekSlot now, std::int64_t wanted, std::int64_t present, bool real, bool sameDay);

// The level loop of one mode and its log line; false when MAX_FIT was passed (every find is in the plan),
// true when enough stands are taken (the last level's finds are in out).
bool lf_maxFitReport(WeekSlot now, bool real, bool sameDay, std::int64_t wanted,
                     std::vector<StaticPlanEntry>& out);

// One level over all free stands into out.
void lf_searchStands(WeekSlot now, bool real, bool sameDay, std::int32_t level,
                     std::vector<StaticPlanEntry>& out);

// The use's aircraft is already there: planned, standing, parked live, or its flight reported live now.
bool lf_useAlreadyPresent(const StandUse& use);

// The callsign, or the callsign with a trailing '_', is among the seen callsigns.
bool lf_callsignSeen(std::string_view callsign);

// The first calculation of the static plan for a newly entered park airport.
void lf_staticPositionsReport();

} // namespace zeph
