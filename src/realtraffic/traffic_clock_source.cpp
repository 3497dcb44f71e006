#include "realtraffic/traffic_clock_source.h"

#include "realtraffic/traffic_reader.h"
#include "state/run_state.h"

namespace zeph {

bool RealTrafficClockSource::rtProfessional() const { return zeph::rtProfessional.load(); }

double RealTrafficClockSource::lastReportTime() const { return trafficReader.lastReportTime(); }

RealTrafficClockSource& realTrafficClockSource() {
    static RealTrafficClockSource source;
    return source;
}

} // namespace zeph
