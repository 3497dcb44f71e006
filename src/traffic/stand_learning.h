#pragma once
#include <cstdint>
#include <vector>

#include "traffic/records.h"

// The learned use of the park airport's stands. A minimal stand-in until stand learning lands.

namespace zeph {

// Looks for the callsign coupled with the aircraft's around the week slot (packed as currentWeekSlot).
void lf_searchForCoupledCsAroundThisTime(std::uint64_t weekSlot, LiveAc& aircraft);

// One stand use as the stand-in records it, for tests.
struct RecordedStandUse {
    std::uint32_t standNumber = 0;
    std::uint32_t hexid = 0;
    std::uint32_t mode = 0;
    bool operator==(const RecordedStandUse&) const = default;
};
// Every call of lf_addRealStandOption, in order; goes with the stand-in.
extern std::vector<RecordedStandUse> recordedStandUses;

// Records that a live aircraft really uses a stand (mode 1 at its spawn, 0 when its identity changed).
void lf_addRealStandOption(std::uint32_t standNumber, LiveAc& aircraft, std::uint32_t mode);

} // namespace zeph
