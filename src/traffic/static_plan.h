#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <unordered_set>
#include <vector>

#include "core/half_hours.h"

// The static parking plan of the park airport, and what a renewal keeps, replaces and removes. Traffic
// thread only.

namespace zeph {

struct ParkPos;
struct StandUse;
struct StaticAc;

// One planned static aircraft.
struct StaticPlanEntry {
    std::uint32_t standId = 0; // number of the stand it is planned for
    std::uint32_t age = 0;     // half-hour slots before the current one it counts as parked (0-47)
    std::string airline;
    std::string type;
    std::string firstCallsign;   // the stand use's arrival callsign
    std::string coupledCallsign; // the stand use's departure callsign
    std::string registration;
    std::uint8_t stays =
        0; // the use goes on into the next slot or has no coupled callsign; picks the callsign
    // Put back once because the static it replaces was still being removed; a second refusal drops it.
    bool deferred = false;
};

// An active static aircraft that a renewal keeps.
struct KeptStatic {
    std::string callsign;
    std::string firstCallsign;
    std::string coupledCallsign;
    std::string registration;
    std::string airline;
    std::string type;
    WeekSlot parkingSlot;
    std::uint32_t standId = 0;
    std::uint8_t replan = 0; // its stand use ends with the current half hour: planned again as its departure
};
extern std::vector<KeptStatic> keptStatics;

// A static aircraft a renewal takes out at its end.
struct ParkingRemoval {
    std::string callsign;
    std::uint32_t standId = 0;
};
extern std::vector<ParkingRemoval> parkingRemovalList;

// The callsigns RealTraffic reported in the collection window before the current calculation.
extern std::unordered_set<std::string> seenCallsigns;

// The last static hexid given; 0 at process start and never reset, so hexids of one process do not repeat
// before the wrap.
extern std::uint32_t staticHexidCounter;

// The next static hexid, 1..9999 then 0, skipping any still held by a static aircraft.
std::uint32_t lf_nextStaticHexid();

// Builds the next static aircraft from the back of the plan (traffic pass, when the plan is not empty).
void lf_detcs();

// The number of static aircraft wanted at the park airport, from MAX_PARK_SEL and the parking percentage of
// the stands; also shown as maxPark and maxParkPercent.
std::int64_t lf_wantedStaticCount();

// Adjusts the static parking to the stands' learned use (the second phase of a renewal).
void lf_parkingAdjustments();

// For each active static aircraft: kept, replaced by its plan entry, or put on parkingRemovalList.
void lf_placeStatic(WeekSlot now);

// A standing static and the plan entry at index entry want the same or neighbouring stands: the one parked
// later stays (the static on a tie), counting half hours back from now round the week.
void lf_resolveStandConflict(const StaticAc& aircraft, std::size_t entry);

// Cuts the plan, then the kept statics, then the parked live aircraft down to wanted.
void lf_trimToWanted(std::int64_t wanted);

// Marks the user's reserved stand and the stand under the user aircraft reserved.
void lf_blockUserStands();

// Clears every stand's reserved, planned and nextToPlanned marks, as each calculation starts.
void lf_clearStandMarks();
// The stand is planned and each of its neighbours nextToPlanned.
void lf_markStandTaken(ParkPos& stand);

// Whether the static and an aircraft of this type on stand would touch: their half spans together reach past
// the distance between their stands. The stand search, the keep rule and the building of a static judge a
// neighbour by it alike, so a renewal plans only what it can build.
bool wingsTouch(const StaticAc& aircraft, const std::string& type, const ParkPos& stand);

// A static aircraft's callsign from a learned one: trailing '_' removed, '*' appended unless it ends in one.
std::string lf_staticCallsign(std::string callsign);

// Whether the use of stand goes on into the half hour after now: the next slot's bit, or over midnight a use
// of the next weekday with the same airline and type holding slot 0, whatever its id.
bool lf_useGoesOn(const ParkPos& stand, const StandUse& use, WeekSlot now);

} // namespace zeph
