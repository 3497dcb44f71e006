#include "realtraffic/report_queue.h"
#include "realtraffic/traffic_lines.h"

#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "realtraffic/traffic_reader.h"
#include "rtfeed/traffic_line.h"
#include "settings/parameter_table.h"
#include "settings/range.h"
#include "support/log_fixture.h"
#include "traffic/park_airport_status.h"
#include "traffic/traffic_tables.h"

namespace zeph {
namespace {

using namespace std::chrono_literals;
using rtfeed::TrafficLine;

constexpr double kDegToRad = 0.017453292519943295;
constexpr double kTwoPi = 6.283185307179586;
constexpr std::int64_t kTick = 500;

// The surroundings a line is parsed in.
struct Setting {
    std::optional<double> referenceElevation;
    bool parkAirport = false; // at the default line's position, 1000 ft
    bool airborneOnly = false;
};

class TrafficLines : public test::LogFixture {
protected:
    void SetUp() override {
        LogFixture::SetUp();
        reader.setUserPosition({52.3, 4.76});
        lateralRangeNm.store(40.0);
        tickCounter.store(kTick);
        apply({});
        const std::lock_guard lock(addingStackMutex);
        addingStack.clear();
        trafficAccepting = true;
    }

    void TearDown() override {
        apply({});
        {
            const std::lock_guard lock(addingStackMutex);
            addingStack.clear();
            trafficAccepting = false;
        }
        LogFixture::TearDown();
    }

    void apply(const Setting& setting) {
        reader.setReferenceElevation(setting.referenceElevation);
        setParkAirportRecord(setting.parkAirport
                                 ? ParkAirportRecord{"EHAM", "AMS", "", 52.3086, 4.7639, 1000.0}
                                 : ParkAirportRecord{""});
        AIRBORNE_ONLY.setValue(setting.airborneOnly);
    }

    // Hands the line to the reader; the reports it pushed.
    std::vector<TrafficReport> feed(const std::string& datagram) {
        reader.onDatagram(datagram);
        const std::lock_guard lock(addingStackMutex);
        std::vector<TrafficReport> pushed(addingStack.begin(), addingStack.end());
        addingStack.clear();
        return pushed;
    }

    // Log lines written since the previous call.
    std::vector<std::string> newLogLines() {
        auto lines = readLog();
        std::vector<std::string> fresh(lines.begin() + static_cast<std::ptrdiff_t>(seenLines_), lines.end());
        seenLines_ = lines.size();
        return fresh;
    }

    InputLogLimit::TimePoint now_{};
    TrafficReader reader{[this] { return now_; }};

private:
    std::size_t seenLines_ = 0;
};

TEST_F(TrafficLines, AnAcceptedLineFillsTheReport) {
    const auto pushed = feed(TrafficLine().toDatagram());
    ASSERT_EQ(pushed.size(), 1U);
    const TrafficReport& report = pushed[0];
    const StreamPos& p = report.position;
    EXPECT_EQ(report.hexid, 4735190U);
    EXPECT_EQ(report.reportTime, 1733560000.25);
    EXPECT_EQ(report.identity.callsign, "TST101");
    EXPECT_EQ(report.identity.type, "B738");
    EXPECT_EQ(report.identity.registration, "PH-TST");
    EXPECT_EQ(report.identity.from, "AMS");
    EXPECT_EQ(report.identity.to, "LHR");
    EXPECT_EQ(p.latitude, 52.3086);
    EXPECT_EQ(p.longitude, 4.7639);
    EXPECT_EQ(p.altitude, 3500.0);
    EXPECT_EQ(p.airborne, 1);
    EXPECT_EQ(p.groundSpeed, 165.0);
    EXPECT_EQ(p.track, 241.0);
    EXPECT_EQ(p.trueHeadingKnown, 1);
    EXPECT_EQ(p.trueHeading, 240.3 * kDegToRad);
    EXPECT_EQ(p.roll, 2.5 * kDegToRad);
    EXPECT_EQ(p.trueAirspeed, 172.0);
    EXPECT_EQ(p.verticalRate, -700.0);
    EXPECT_EQ(p.stationary, 0);
    EXPECT_EQ(p.duePass, kTick + 3000);
    EXPECT_TRUE(newLogLines().empty());
}

// A check of one value of an accepted report.
using Check = std::function<void(const TrafficReport&)>;
template <class T> Check is(T StreamPos::*member, T expected) {
    return [=](const TrafficReport& r) { EXPECT_EQ(r.position.*member, expected); };
}

TEST_F(TrafficLines, FilterRulesAndFieldErrors) {
    using L = TrafficLine;
    using P = StreamPos;
    const bool take = true;
    const bool drop = false;
    const Setting ref1000{1000.0, true};
    const Setting park{std::nullopt, true};
    const Setting airborneOnly{std::nullopt, false, true};
    const std::optional<double> none;
    const struct Row {
        std::string name;
        TrafficLine line;
        Setting setting;
        bool accepted;
        std::string error; // the logged error text; empty: none
        Check check;
        std::optional<bool> collected = std::nullopt;
    } rows[] = {
        // clang-format off
        {"hexid 10000", L().set(1, "10000"), {}, drop, "", {}},
        {"hexid 10001", L().set(1, "10001"), {}, take, "", {}},
        {"hexid 12a", L().set(1, "12a"), {}, drop, "", {}},
        {"hexid abc", L().set(1, "abc"), {}, drop, "hexid incorrectabc", {}},
        {"hexid above u32", L().set(1, "4294967296"), {}, drop, "hexid incorrect4294967296", {}},
        {"registration of 13", L().set(11, "ABCDEFGHIJKLM"), {}, drop, "", {}},
        {"registration of 12", L().set(11, "ABCDEFGHIJKL"), {}, take, "", {}},
        {"type ZZZZ", L().set(10, "ZZZZ"), {}, drop, "", {}},
        {"BALL in A1", L().set(10, "BALL").set(28, "A1"), {}, drop, "", {}},
        {"BALL without category", L().set(10, "BALL").set(28, "null"), {}, take, "", {}},
        {"five-letter type in A3", L().set(10, "B738X"), {}, drop, "", {}},
        {"category C2", L().set(28, "C2"), {}, drop, "", {}},
        {"ground vehicle", L().set(10, "GRND VEH"), {}, drop, "", {}},
        {"ground vehicle in the last field", L().set(28, "A VEH"), {}, drop, "", {}},
        {"ground vehicle after a blank", L().set(12, "X Y").set(13, "Z VEH"), {}, drop, "", {}},
        {"blanks, no vehicle", L().set(12, "A B").set(13, "VEH"), {}, take, "", {}},
        {"50 ft at 100 kt", L().set(4, "50").set(8, "100"), {}, take, "", is(&P::altitude, 50.0)},
        {"30000 ft at 30 kt, no park airport", L().set(4, "30000").set(8, "30"), {}, drop, "", {}},
        {"1040 ft at 110 kt", L().set(4, "1040").set(8, "110"), ref1000, take, "", is(&P::altitude, 0.0)},
        {"1080 ft at 75 kt", L().set(4, "1080").set(8, "75"), ref1000, take, "", is(&P::altitude, 0.0)},
        {"1100 ft at 40 kt", L().set(4, "1100").set(8, "40"), ref1000, take, "", is(&P::altitude, 0.0)},
        {"1100 ft at 50 kt", L().set(4, "1100").set(8, "50"), ref1000, take, "", is(&P::altitude, 1100.0)},
        {"airborne only, 300 ft", L().set(4, "300"), airborneOnly, drop, "", {}},
        {"airborne only, 301 ft", L().set(4, "301"), airborneOnly, take, "", {}},
        {"airborne only, 200 ft above the park airport", L().set(4, "1200").set(8, "150"),
         {1000.0, true, true}, drop, "", {}},
        {"heading 0", L().set(25, "0"), {}, take, "", is(&P::trueHeading, std::optional(kTwoPi))},
        {"heading 0, track 0", L().set(25, "0").set(7, "0"), {}, take, "", is(&P::track, 360.0)},
        {"heading 361.5", L().set(25, "361.5"), {}, drop, "trueheading: 361.50", {}},
        {"heading without adsb", L().set(17, "mlat").set(25, "x"), {}, take, "", is(&P::trueHeading, none)},
        {"roll 5", L().set(23, "5"), {}, take, "", is(&P::roll, std::optional(-0.08726646259971647))},
        {"roll -1", L().set(23, "-1"), {}, take, "", is(&P::roll, none)},
        {"TAS -1 at 3000 ft", L().set(4, "3000").set(20, "-1"), {}, take, "", is(&P::trueAirspeed, 220.0)},
        {"TAS -1 on the ground", L().set(4, "0").set(20, "-1"), park, take, "", is(&P::trueAirspeed, 180.0)},
        {"no roll on the ground", L().set(4, "0"), park, take, "", is(&P::roll, none)},
        {"on the ground 6 nm from the park airport", L().set(4, "0").set(2, "52.4086"), park, drop, "", {}},
        {"null island", L().set(2, "0.00005").set(3, "0.00005"), {}, drop,
         "invalid lalo: 0.000050,0.000050", {}},
        {"callsign with @", L().set(9, "TST@1"), {}, take, "",
         [](const TrafficReport& r) { EXPECT_EQ(r.identity.callsign, ""); }, false},
        {"plain callsign collected", L(), {}, take, "", {}, true},
        {"callsign AIRPORT1", L().set(9, "AIRPORT1"), {}, drop, "", {}},
        {"neither callsign nor registration", L().set(9, "null").set(11, "null"), {}, drop, "", {}},
        {"out of range", L().set(2, "53.0"), {}, drop, "", {}},
        {"bad track", L().set(7, "x1"), {}, drop, "track incorrect x1", {}},
        {"altitude with a unit", L().set(4, "3000ft"), {}, take, "", is(&P::altitude, 3000.0)},
        {"latitude with an exponent", L().set(2, "5.23086e1"), {}, take, "", is(&P::latitude, 52.3086)},
        {"ground speed of 17 digits", L().set(8, "250.00000000000001"), {}, take, "", is(&P::groundSpeed, 250.00000000000001)},
        {"vertical rate -0.5", L().set(5, "-.5"), {}, take, "", is(&P::verticalRate, -0.5)},
        {"bad TAS", L().set(20, "fast"), {}, drop, "TAS incorrectfast", {}},
        // clang-format on
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        apply(row.setting);
        reader.startCallsignCollection();
        const auto pushed = feed(row.line.toDatagram());
        ASSERT_EQ(pushed.size(), row.accepted ? 1U : 0U);
        if (row.check) {
            row.check(pushed[0]);
        }
        const auto expectedLog = row.error.empty()
                                     ? std::vector<std::string>{}
                                     : std::vector<std::string>{"exception in processLineSub: " + row.error};
        EXPECT_EQ(newLogLines(), expectedLog);
        if (row.collected) {
            EXPECT_EQ(reader.takeSeenCallsigns().size(), *row.collected ? 1U : 0U);
        }
    }
}

TEST_F(TrafficLines, NonFiniteAndShortLines) {
    const std::string full = TrafficLine().toDatagram();
    const struct Row {
        std::string name;
        std::string datagram;
        std::string logged; // empty: nothing
        bool timeRead;
    } rows[] = {
        {"nan latitude", TrafficLine().set(2, "nan").toDatagram(), "exception in processLineSub: lat:nan",
         true},
        {"inf time", TrafficLine().set(14, "inf").toDatagram(), "exception in processLineSub: timestamp:inf",
         false},
        {"huge ground speed", TrafficLine().set(8, "1e400").toDatagram(),
         "exception in processLineSub: gs:1e400", true},
        {"leading plus", TrafficLine().set(5, "+5").toDatagram(), "exception in processLineSub: vs:+5", true},
        {"NUL byte", TrafficLine().set(5, std::string("\0", 1)).toDatagram(),
         "exception in processLineSub: vs:\\x00", true},
        {"line break in from", TrafficLine().set(12, "AMS\n==> forged").toDatagram(),
         "exception in processLineSub: control character in from:AMS\\x0a==> forged", true},
        {"DEL in callsign", TrafficLine().set(9, "KLM\x7f").toDatagram(),
         "exception in processLineSub: control character in callsign:KLM\\x7f", true},
        {"28 fields", full.substr(0, full.rfind(',')), "", false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        reader.setLastReportTime(7.0);
        EXPECT_TRUE(feed(row.datagram).empty());
        EXPECT_EQ(newLogLines(),
                  row.logged.empty() ? std::vector<std::string>{} : std::vector<std::string>{row.logged});
        EXPECT_EQ(reader.lastReportTime(), row.timeRead ? 1733560000.25 : 7.0);
    }
}

TEST_F(TrafficLines, ErrorLinesAreCappedAndEscaped) {
    const std::string bad = TrafficLine().set(4, "\n").toDatagram();
    for (int n = 0; n < 25; ++n) {
        feed(bad);
    }
    auto lines = newLogLines();
    ASSERT_EQ(lines.size(), 20U);
    EXPECT_EQ(lines[0].rfind("exception in processLineSub: altitude \\x0a incorrect, from: T,4735190,", 0),
              0U)
        << lines[0];
    now_ += 60s;
    feed(bad);
    lines = newLogLines();
    ASSERT_EQ(lines.size(), 2U);
    EXPECT_EQ(lines[0], "Traffic Reader: 5 error lines not logged");
}

TEST_F(TrafficLines, WhileNotAcceptingOnlyTheReportTimeMoves) {
    setTrafficAccepting(false);
    for (const double time : {1733560001.5, 1733560002.0}) {
        TrafficLine line;
        line.time = time;
        line.hexid = time == 1733560002.0 ? 10000 : 4735190; // the second is dropped by a filter rule
        EXPECT_TRUE(feed(line.toDatagram()).empty());
        EXPECT_EQ(reader.lastReportTime(), time);
    }
}

TEST_F(TrafficLines, TheAddingStackHoldsAtMost6000Reports) {
    const std::uint64_t discardedBefore = discardedReports();
    const std::string line = TrafficLine().toDatagram();
    for (int n = 0; n < 7000; ++n) {
        reader.onDatagram(line);
    }
    {
        const std::lock_guard lock(addingStackMutex);
        EXPECT_EQ(addingStack.size(), 6000U);
    }
    EXPECT_EQ(discardedReports() - discardedBefore, 1000U);
    EXPECT_EQ(newLogLines(), std::vector<std::string>{"adding stack full, traffic reports discarded"});
}

} // namespace
} // namespace zeph
