#pragma once

// The livery scan, run at start while SCAN_LIVERIES is ticked. A minimal stand-in until the scan lands.

namespace zeph {

// Scans the livery folders; unticks SCAN_LIVERIES when done.
void gf_scanLiveries();

} // namespace zeph
