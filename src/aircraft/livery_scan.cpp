#include "aircraft/livery_scan.h"

#include "settings/control_sink.h"
#include "settings/parameter_table.h"
#include "state/seam_trace.h"

namespace zeph {

std::list<LiveryData> scannedLiveries;

// Minimal stand-in until the livery scan lands.
void gf_scanLiveries() {
    noteSeamCall("gf_scanLiveries");
    SCAN_LIVERIES.set(false);
    controlSink().setCheck(SCAN_LIVERIES);
}

} // namespace zeph
