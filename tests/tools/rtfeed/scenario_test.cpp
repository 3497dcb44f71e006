// Scenario files: their lines, their errors, and their playing.
#include "rtfeed/scenario.h"

#include <fstream>
#include <thread>

#include <gtest/gtest.h>

#include "rtfeed/rt_feed.h"
#include "support/slow_factor.h"
#include "support/temp_dir.h"
#include "tools/rtfeed/test_sockets.h"

namespace zeph::rtfeed {
namespace {

using namespace std::chrono_literals;
using test::kLivenessBound;

RtFeedOptions onPorts(std::uint16_t trafficPort, std::uint16_t qnhPort) {
    RtFeedOptions options;
    options.trafficPort = trafficPort;
    options.qnhPort = qnhPort;
    return options;
}

TEST(Scenario, ParsesEntriesSkippingCommentsAndBlankLines) {
    const Scenario scenario = parseScenario("\xEF\xBB\xBF# a scenario\r\n"
                                            "\n"
                                            "0 T T,4735190,{now}\r\n"
                                            "   # indented comment\n"
                                            "0.5\tQ\t{\"QNH\":1008}\n"
                                            "0.5 T   T,1,# not a comment\n"
                                            "12 Q {\"QNH\": \"1013.25\"}");
    ASSERT_EQ(scenario.entries.size(), 4u);
    const struct {
        double at;
        char kind;
        const char* payload;
        int line;
    } expected[] = {
        {0, 'T', "T,4735190,{now}", 3},
        {0.5, 'Q', "{\"QNH\":1008}", 5},
        {0.5, 'T', "T,1,# not a comment", 6},
        {12, 'Q', "{\"QNH\": \"1013.25\"}", 7},
    };
    for (std::size_t k = 0; k < scenario.entries.size(); ++k) {
        const ScenarioEntry& entry = scenario.entries[k];
        EXPECT_EQ(entry.at, expected[k].at) << "entry " << k;
        EXPECT_EQ(entry.kind, expected[k].kind) << "entry " << k;
        EXPECT_EQ(entry.payload, expected[k].payload) << "entry " << k;
        EXPECT_EQ(entry.lineNumber, expected[k].line) << "entry " << k;
    }
}

TEST(Scenario, MalformedLinesNameTheirLineNumber) {
    const struct {
        std::string name;
        std::string text;
        std::string message;
    } cases[] = {
        {"no time", "T T,1\n", "scenario line 1: 'T' is not a time in seconds (a number 0 or above)"},
        {"negative time", "# c\n-1 T T,1\n",
         "scenario line 2: '-1' is not a time in seconds (a number 0 or above)"},
        {"nan time", "nan Q {}\n", "scenario line 1: 'nan' is not a time in seconds (a number 0 or above)"},
        {"time with junk", "1s Q {}\n",
         "scenario line 1: '1s' is not a time in seconds (a number 0 or above)"},
        {"time going back", "0 T a\n2 T b\n1.5 T c\n",
         "scenario line 3: time 1.5 is before the time 2 of the line before"},
        {"unknown kind", "0 T a\n\n1 X a\n", "scenario line 3: 'X' is neither T (traffic) nor Q (QNH)"},
        {"lower-case kind", "0 t a\n", "scenario line 1: 't' is neither T (traffic) nor Q (QNH)"},
        {"no kind", "0\n", "scenario line 1: '' is neither T (traffic) nor Q (QNH)"},
        {"no datagram", "0 Q   \r\n", "scenario line 1: the Q line has no datagram"},
        {"not UTF-8", "0 T a\n1 T \xff\xfe\n", "scenario line 2: not UTF-8 text"},
        {"overlong UTF-8", "0 T \xc0\xaf\n", "scenario line 1: not UTF-8 text"},
        {"cut UTF-8", "0 T \xe2\x82", "scenario line 1: not UTF-8 text"},
    };
    for (const auto& c : cases) {
        try {
            parseScenario(c.text);
            ADD_FAILURE() << c.name << ": no error";
        } catch (const ScenarioError& e) {
            EXPECT_EQ(std::string(e.what()), c.message) << c.name;
        }
    }
}

TEST(Scenario, AcceptsUtf8TextAndEmptyFiles) {
    EXPECT_TRUE(parseScenario("").entries.empty());
    EXPECT_TRUE(parseScenario("# only a comment\n\n").entries.empty());
    const Scenario scenario = parseScenario("0 T T,1,Zürich ✈ \xf0\x9f\x9b\xa9\n");
    ASSERT_EQ(scenario.entries.size(), 1u);
    EXPECT_EQ(scenario.entries[0].payload, "T,1,Zürich ✈ \xf0\x9f\x9b\xa9");
}

TEST(Scenario, LoadReadsTheFileAndNamesAMissingOne) {
    test::TempDir dir;
    std::ofstream(dir / "good.txt") << "0 Q {\"QNH\":1008}\n";
    EXPECT_EQ(loadScenario(dir / "good.txt").entries.size(), 1u);
    EXPECT_THROW(loadScenario(dir / "missing.txt"), ScenarioError);
}

TEST(Scenario, NowIsReplacedEverywhereWithTwoDecimals) {
    const struct {
        const char* payload;
        const char* expected;
    } cases[] = {
        {"T,1,{now}", "T,1,1733560000.25"},
        {"{now},{now}", "1733560000.25,1733560000.25"},
        {"{no}{now", "{no}{now"},
        {"", ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(replaceNow(c.payload, 1733560000.251), c.expected) << c.payload;
    }
}

TEST(Scenario, PlayingSendsEveryEntryInOrderToItsPort) {
    test::UdpCollector traffic;
    test::UdpCollector qnh;
    RtFeed feed(onPorts(traffic.port(), qnh.port()));
    const Scenario scenario = parseScenario("0 T T,1,{now}\n0 Q {\"QNH\":1008}\n0.05 T T,2\n0.1 T T,3\n");
    const double before = utcSecondsNow();
    EXPECT_TRUE(feed.playScenario(scenario));
    const double after = utcSecondsNow();

    const auto first = traffic.next(kLivenessBound);
    ASSERT_TRUE(first.has_value());
    const std::vector<std::string> fields = test::splitFields(*first);
    ASSERT_EQ(fields.size(), 3u);
    const double now = std::stod(fields[2]);
    EXPECT_GE(now, before - 0.01);
    EXPECT_LE(now, after + 0.01);
    EXPECT_EQ(traffic.next(kLivenessBound), "T,2");
    EXPECT_EQ(traffic.next(kLivenessBound), "T,3");
    EXPECT_EQ(qnh.next(kLivenessBound), "{\"QNH\":1008}");
}

TEST(ScenarioThreads, AStopEndsPlayingBeforeTheNextEntry) {
    test::UdpCollector traffic;
    RtFeed feed(onPorts(traffic.port(), 0));
    const Scenario scenario = parseScenario("0 T first\n3600 T never\n");
    std::stop_source stop;
    bool completed = true;
    std::thread player([&] { completed = feed.playScenario(scenario, stop.get_token()); });
    EXPECT_EQ(traffic.next(kLivenessBound), "first");
    stop.request_stop();
    player.join();
    EXPECT_FALSE(completed);
    EXPECT_EQ(traffic.next(50ms), std::nullopt);
}

} // namespace
} // namespace zeph::rtfeed
