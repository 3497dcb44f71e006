#include "update/version_check.h"

#include "state/exit_reason.h"
#include "state/seam_trace.h"

namespace zeph {

// Minimal stand-in until the updater lands: the script decides; false records NEW VERSION first, as the
// real check does after preparing an update.
bool gf_checkVersions() {
    noteSeamCall("gf_checkVersions");
    if (!seamScript().checkVersions) {
        gf_setExitReason(ExitReason::NEW_VERSION, 0);
        return false;
    }
    return true;
}

} // namespace zeph
