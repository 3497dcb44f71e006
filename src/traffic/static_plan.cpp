#include "traffic/static_plan.h"

#include "state/seam_trace.h"
#include "traffic/traffic_tables.h"

namespace zeph {

// Minimal body, completed by the static parking: the entry is taken off the plan, nothing is built.
void lf_detcs() {
    if (!staticPlan.empty()) {
        staticPlan.pop_back();
    }
}

// Minimal stand-in until the static parking lands.
void lf_parkingAdjustments() { noteSeamCall("lf_parkingAdjustments"); }

} // namespace zeph
