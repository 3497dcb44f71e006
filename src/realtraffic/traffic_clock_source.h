#pragma once
#include "core/clock.h"

// What the traffic clock reads of the RealTraffic link: whether the professional edition reports, and the
// time of its latest traffic report. The run installs it with setTrafficClockSource.

namespace zeph {

class RealTrafficClockSource final : public TrafficClockSource {
public:
    bool rtProfessional() const override;
    double lastReportTime() const override;
};

// The program's one source, for setTrafficClockSource.
RealTrafficClockSource& realTrafficClockSource();

} // namespace zeph
