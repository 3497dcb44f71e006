#include "traffic/report_intake.h"

namespace zeph {

void lf_processRtRecord(TrafficReport& /*report*/) {}

} // namespace zeph
