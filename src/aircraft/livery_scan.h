#pragma once
#include <list>

#include "aircraft/livery_data.h"

// The livery scan, run at start while SCAN_LIVERIES is ticked. A minimal stand-in until the scan lands.

namespace zeph {

// The liveries of the last scan, in scan order.
extern std::list<LiveryData> scannedLiveries;

// Scans the livery folders; unticks SCAN_LIVERIES when done.
void gf_scanLiveries();

} // namespace zeph
