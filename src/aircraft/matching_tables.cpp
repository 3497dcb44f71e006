#include "aircraft/matching_tables.h"

#include "state/seam_trace.h"

namespace zeph {

// Minimal stand-ins until the livery matching lands.
void gf_processScannedLiveries() { noteSeamCall("gf_processScannedLiveries"); }

void gf_reserveMatchingTables() { noteSeamCall("gf_reserveMatchingTables"); }

void gf_resetLiveryTables() { noteSeamCall("gf_resetLiveryTables"); }

} // namespace zeph
