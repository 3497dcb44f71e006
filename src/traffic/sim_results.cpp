#include "traffic/sim_results.h"

#include "app/seam_trace.h"

namespace zeph {

// Minimal stand-ins until the simulator results land. The results are taken every pass, so they note
// nothing.
void lf_handleSimResults() {}

void lf_avoidUserAircraft() { noteSeamCall("lf_avoidUserAircraft"); }

} // namespace zeph
