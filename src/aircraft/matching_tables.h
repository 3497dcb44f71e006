#pragma once

// The livery-matching tables built from the scanned liveries. A minimal stand-in until the livery matching
// lands.

namespace zeph {

// Builds the matching tables from the scanned liveries; every start, after the scan.
void gf_processScannedLiveries();
// Room for the matching tables at the start of the main loop.
void gf_reserveMatchingTables();
// Empties every matching table, so the next run builds them again.
void gf_resetLiveryTables();

} // namespace zeph
