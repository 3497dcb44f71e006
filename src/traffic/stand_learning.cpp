#include "traffic/stand_learning.h"

#include <fmt/format.h>

#include "state/seam_trace.h"

namespace zeph {

// Minimal stand-in until stand learning lands.
void lf_searchForCoupledCsAroundThisTime(std::uint64_t /*weekSlot*/, LiveAc& aircraft) {
    noteSeamCall(fmt::format("lf_searchForCoupledCsAroundThisTime {}", aircraft.hexid));
}

} // namespace zeph
