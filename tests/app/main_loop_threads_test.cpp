#include <algorithm>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "app/exit_reason.h"
#include "app/main_loop.h"
#include "app/startup_thread.h"
#include "realtraffic/rt_server.h"
#include "realtraffic/traffic_reader.h"
#include "realtraffic/udp_readers.h"
#include "run_fixture.h"
#include "settings/parameter_table.h"
#include "support/fake_sim_link.h"
#include "support/slow_factor.h"
#include "traffic/traffic_tables.h"

namespace zeph {
namespace {

using namespace std::chrono_literals;
using test::FakeSimLink;
using MainLoopThreads = test::RunFixture;

template <class Condition> bool eventually(Condition condition) {
    const auto deadline = std::chrono::steady_clock::now() + test::kLivenessBound * 5;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline) {
            return false;
        }
        std::this_thread::sleep_for(5ms);
    }
    return true;
}

// Ends the main loop of a case and the threads it started; declared after the loop's thread, so it runs
// before that thread is joined.
struct LoopEnd {
    LoopEnd() = default;
    LoopEnd(const LoopEnd&) = delete;
    LoopEnd& operator=(const LoopEnd&) = delete;
    ~LoopEnd() { gf_setExitReason(ExitReason::USER_CLOSED_SIM, 0); }
};

bool contains(const std::vector<std::string>& calls, const std::string& call) {
    return std::find(calls.begin(), calls.end(), call) != calls.end();
}

TEST_F(MainLoopThreads, TheLoopBringsTheLinksUpInOrderAndRunsTheSeconds) {
    struct Case {
        const char* name;
        bool aerowinx;
        bool realTrafficHere;
        std::vector<std::string> present;
        std::vector<std::string> absent;
    };
    const Case cases[] = {
        {"AEROWINX on", true, true, {}, {"lf_waitForRealTraffic", "gf_startRTServer 10747"}},
        {"RealTraffic here, AEROWINX off",
         false,
         true,
         {"gf_startRTServer 10747", "lf_waitForRealTraffic"},
         {}},
    };
    const GeoPoint user{50.0333, 8.5706};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        resetExitReasonForRestart();
        gf_resetReaders();
        trafficReader.setLastReportTime(1704070800.0);
        AEROWINX.setValue(c.aerowinx);
        realTrafficOnThisPc.store(c.realTrafficHere);
        rtProfessional.store(true);
        secondsCounter.store(0);
        FakeSimLink fake;
        fake.connect(user, true, 0.01);
        fake.startSeconds(20ms);
        calls();
        std::jthread loop([] { lf_mainLoop(); });
        // However the case ends, the loop is asked to end before it is joined.
        const LoopEnd end;
        ASSERT_TRUE(eventually([] { return secondsCounter.load() >= 3; })) << "the seconds run";

        const auto made = calls();
        ASSERT_GE(made.size(), 4U);
        EXPECT_EQ(std::vector<std::string>(made.begin(), made.begin() + 4),
                  (std::vector<std::string>{"lf_reserveTrafficTables", "gf_reserveMatchingTables",
                                            "gf_initSimLink 5", "lf_autoRange"}));
        for (const std::string& call : c.present) {
            EXPECT_TRUE(contains(made, call)) << call;
        }
        for (const std::string& call : c.absent) {
            EXPECT_FALSE(contains(made, call)) << call;
        }
        if (c.aerowinx) {
            EXPECT_FALSE(rtProfessional.load());
        }
        EXPECT_EQ(trafficReader.userPosition().lat, user.lat);
        EXPECT_EQ(trafficReader.userPosition().lon, user.lon);
        EXPECT_TRUE(isTrafficAccepting());
        headless().pump();
        EXPECT_TRUE(headless().control(csToOidButton.controlId)->enabled);
        EXPECT_TRUE(simClientThread.joinable());
        EXPECT_TRUE(trafficReaderThread.joinable());
    }
}

} // namespace
} // namespace zeph
