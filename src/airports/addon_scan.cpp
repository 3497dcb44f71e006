#include "airports/addon_scan.h"

#include "app/seam_trace.h"
#include "app/window/controls.h"
#include "settings/parameter_table.h"

namespace zeph {

// Minimal stand-in until the add-on airport scan lands.
void gf_scanAddonAirports() {
    noteSeamCall("gf_scanAddonAirports");
    gf_setCheckBox(SCAN_AIRPORTS, false);
}

} // namespace zeph
