#include "traffic/static_plan.h"

#include "app/seam_trace.h"

namespace zeph {

// Minimal stand-in until the static parking lands.
void lf_parkingAdjustments() { noteSeamCall("lf_parkingAdjustments"); }

} // namespace zeph
