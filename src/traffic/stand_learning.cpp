#include "traffic/stand_learning.h"

#include <fmt/format.h>

#include "state/seam_trace.h"

namespace zeph {

// Minimal stand-in until stand learning lands.
void lf_searchForCoupledCsAroundThisTime(std::uint64_t /*weekSlot*/, LiveAc& aircraft) {
    noteSeamCall(fmt::format("lf_searchForCoupledCsAroundThisTime {}", aircraft.hexid));
}

std::vector<RecordedStandUse> recordedStandUses;

void lf_addRealStandOption(std::uint32_t standNumber, LiveAc& aircraft, std::uint32_t mode) {
    recordedStandUses.push_back({standNumber, aircraft.hexid, mode});
}

} // namespace zeph
