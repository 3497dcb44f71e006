#pragma once
#include "traffic/records.h"

// The traffic pass's intake of one report from the adding stack: a report of a known aircraft joins its
// stream when it passes the filters, a report of a new aircraft becomes a buffered live record when the
// intake rules accept it. Refusals are silent.

namespace zeph {

// One report taken off the adding stack (traffic thread).
void lf_processRtRecord(TrafficReport& report);

} // namespace zeph
