#include "airports/addon_scan.h"

#include "settings/control_sink.h"
#include "settings/parameter_table.h"
#include "state/seam_trace.h"

namespace zeph {

// Minimal stand-in until the add-on airport scan lands.
void gf_scanAddonAirports() {
    noteSeamCall("gf_scanAddonAirports");
    SCAN_AIRPORTS.set(false);
    controlSink().setCheck(SCAN_AIRPORTS);
}

} // namespace zeph
