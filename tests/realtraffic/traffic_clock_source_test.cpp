#include "realtraffic/traffic_clock_source.h"

#include <gtest/gtest.h>

#include "core/clock.h"
#include "core/time_text.h"
#include "realtraffic/rt_server.h"
#include "realtraffic/traffic_reader.h"
#include "state/run_state.h"
#include "support/test_clock.h"

namespace zeph {
namespace {

TEST(RealTrafficClockSource, TheTrafficClockFollowsRealTrafficOnlyInItsProfessionalEdition) {
    struct Case {
        const char* name;
        bool installed;
        bool professional;
        double lastReport;
        const char* clock;
    };
    // The test clock stands at 1733560000, 08:26:40.
    const Case cases[] = {
        {"professional with a report", true, true, 1796541918.7, "07:25:18"},
        {"standard edition", true, false, 1796541918.7, "08:26:40"},
        {"professional before the first report", true, true, 0.0, "08:26:40"},
        {"not installed", false, true, 1796541918.7, "08:26:40"},
    };
    const test::TestClock pcClock(1733560000);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        setTrafficClockSource(c.installed ? &realTrafficClockSource() : nullptr);
        rtProfessional.store(c.professional);
        trafficReader.setLastReportTime(c.lastReport);
        EXPECT_EQ(gf_trafficClockText(), c.clock);
    }
    setTrafficClockSource(nullptr);
    rtProfessional.store(false);
    trafficReader.setLastReportTime(0.0);
}

} // namespace
} // namespace zeph
