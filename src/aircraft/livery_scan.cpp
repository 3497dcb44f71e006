#include "aircraft/livery_scan.h"

#include "app/seam_trace.h"
#include "app/window/controls.h"
#include "settings/parameter_table.h"

namespace zeph {

// Minimal stand-in until the livery scan lands.
void gf_scanLiveries() {
    noteSeamCall("gf_scanLiveries");
    gf_setCheckBox(SCAN_LIVERIES, false);
}

} // namespace zeph
