#pragma once

// The add-on airport scan, run at start while SCAN_AIRPORTS is ticked. A minimal stand-in until the scan
// lands.

namespace zeph {

// Scans the add-on airport folders; unticks SCAN_AIRPORTS when done.
void gf_scanAddonAirports();

} // namespace zeph
