#include "traffic/live_table_services.h"

#include "app/seam_trace.h"

namespace zeph {

int lf_refreshCallsignList() {
    noteSeamCall("lf_refreshCallsignList");
    return 0;
}

} // namespace zeph
