#include "aircraft/aircraft_database.h"

#include "app/seam_trace.h"

namespace zeph {

// Minimal stand-in until the aircraft data lands: the script decides.
bool gf_readDbase() {
    noteSeamCall("gf_readDbase");
    return seamScript().readDbase;
}

} // namespace zeph
