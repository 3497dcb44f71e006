#include "traffic/sim_results.h"

#include <mutex>

#include "sim/sim_link.h"
#include "state/seam_trace.h"

namespace zeph {

// Minimal body, completed by the simulator-results rules: the results are taken and dropped. Every pass
// runs it, so it notes nothing.
void lf_handleSimResults() {
    const std::lock_guard lock(simResultMutex);
    simResultQueue.clear();
}

void lf_avoidUserAircraft() { noteSeamCall("lf_avoidUserAircraft"); }

} // namespace zeph
