#include <cmath>
#include <ctime>
#include <limits>
#include <string>
#include <utility>

#include <gtest/gtest.h>

#include "core/clock.h"
#include "core/time_text.h"
#include "support/test_clock.h"

namespace zeph {
namespace {

constexpr std::time_t sundayMorning = 1796541918; // Sun Dec 06 07:25:18 2026

class FakeTrafficSource : public TrafficClockSource {
public:
    FakeTrafficSource(bool professional, double reportTime)
        : professional_(professional), reportTime_(reportTime) {}
    bool rtProfessional() const override { return professional_; }
    double lastReportTime() const override { return reportTime_; }

private:
    bool professional_;
    double reportTime_;
};

// Installs a traffic clock source for one case and always takes it away again.
class ScopedTrafficSource {
public:
    explicit ScopedTrafficSource(TrafficClockSource* source) { setTrafficClockSource(source); }
    ~ScopedTrafficSource() { setTrafficClockSource(nullptr); }
    ScopedTrafficSource(const ScopedTrafficSource&) = delete;
    ScopedTrafficSource& operator=(const ScopedTrafficSource&) = delete;
};

TEST(TimeText, FormatsTimesInUtc) {
    const struct {
        std::time_t t;
        const char* expected;
    } cases[] = {
        {0, "Thu Jan 01 00:00:00 1970"},
        {1791190987, "Mon Okt 05 09:03:07 2026"},
        {sundayMorning, "Sun Dec 06 07:25:18 2026"},
        {-1, "Wed Dec 31 23:59:59 1969"},
        {std::numeric_limits<std::time_t>::max(), "Invalid time"},
        {std::numeric_limits<std::time_t>::min(), "Invalid time"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(gf_timeText(c.t), c.expected) << "time " << c.t;
    }
}

TEST(TimeText, ClockAndDateFollowThePcClock) {
    const struct {
        std::time_t now;
        const char* clock;
        const char* date;
    } cases[] = {
        {sundayMorning, "07:25:18", "Dec 06, 2026"},
        {1791190987, "09:03:07", "Okt 05, 2026"},
        {0, "00:00:00", "Jan 01, 1970"},
        {std::numeric_limits<std::time_t>::max(), "??:??:??", "Invalid time"},
    };
    for (const auto& c : cases) {
        test::TestClock clock(c.now);
        EXPECT_EQ(gf_utcClockText(), c.clock) << "time " << c.now;
        EXPECT_EQ(gf_dateText(), c.date) << "time " << c.now;
    }
}

TEST(TimeText, WeekdayAndHalfHourOfTheTrafficClock) {
    const struct {
        std::time_t now;
        std::pair<int, int> expected;
        const char* name;
    } cases[] = {
        {1796552969, {7, 20}, "Sun 10:29:29"},
        {1796552970, {7, 21}, "Sun 10:29:30, second half starts early"},
        {1796554799, {7, 21}, "Sun 10:59:59"},
        {1796554800, {7, 22}, "Sun 11:00:00"},
        {1796541918, {7, 14}, "Sun 07:25:18"},
        {1796687999, {1, 47}, "Mon 23:59:59"},
        {1796688000, {2, 0}, "Tue 00:00:00"},
        {1796515200, {7, 0}, "Sun 00:00:00"},
        {std::numeric_limits<std::time_t>::max(), {-1, -1}, "beyond breaking down"},
    };
    for (const auto& c : cases) {
        test::TestClock clock(c.now);
        EXPECT_EQ(gf_trafficDayAndHalfHour(), c.expected) << c.name;
    }
}

TEST(TimeText, WeekdayAndHalfHourComeFromOneReading) {
    test::TestClock clock({1796687999, 1796688000}); // Mon 23:59:59, then Tue 00:00:00
    EXPECT_EQ(gf_trafficDayAndHalfHour(), std::make_pair(1, 47));
    EXPECT_EQ(clock.readings(), 1);
}

TEST(TimeText, TrafficClockFollowsProfessionalReports) {
    constexpr std::time_t pcNow = 1791190987; // Mon Okt 05 09:03:07 2026
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    const struct {
        const char* name;
        bool withSource;
        bool professional;
        double reportTime;
        const char* clockText;
        std::pair<int, int> dayAndSlot;
        bool isTime; // a time that fits time_t but no calendar still is a time
    } cases[] = {
        {"no source", false, false, 0, "09:03:07", {1, 18}, true},
        {"professional report", true, true, 1796541918.7, "07:25:18", {7, 14}, true},
        {"professional, no report yet", true, true, 0, "09:03:07", {1, 18}, true},
        {"professional, report below one second", true, true, 0.9, "09:03:07", {1, 18}, true},
        {"standard edition ignores reports", true, false, 1796541918.7, "09:03:07", {1, 18}, true},
        {"standard edition ignores NaN", true, false, nan, "09:03:07", {1, 18}, true},
        {"report time before 1970", true, true, -1.5, "23:59:59", {3, 47}, true},
        {"NaN report time", true, true, nan, "??:??:??", {-1, -1}, false},
        {"infinite report time", true, true, inf, "??:??:??", {-1, -1}, false},
        {"negative infinite report time", true, true, -inf, "??:??:??", {-1, -1}, false},
        {"report time outside time_t", true, true, 1e300, "??:??:??", {-1, -1}, false},
        {"report time just outside time_t", true, true, 9223372036854775808.0, "??:??:??", {-1, -1}, false},
        {"report time too large to break down", true, true, 1e18, "??:??:??", {-1, -1}, true},
        {"lowest time_t as report time", true, true, -9223372036854775808.0, "??:??:??", {-1, -1}, true},
        {"report time below time_t", true, true, -1e19, "??:??:??", {-1, -1}, false},
    };
    test::TestClock clock(pcNow);
    for (const auto& c : cases) {
        FakeTrafficSource source(c.professional, c.reportTime);
        ScopedTrafficSource installed(c.withSource ? &source : nullptr);
        EXPECT_EQ(gf_trafficClockText(), c.clockText) << c.name;
        EXPECT_EQ(gf_trafficDayAndHalfHour(), c.dayAndSlot) << c.name;
        EXPECT_EQ(trafficClockNow().has_value(), c.isTime) << c.name;
    }
    EXPECT_EQ(trafficClockSource(), nullptr);
}

TEST(TimeText, TrafficClockIsReadAnewAtEachUse) {
    test::TestClock clock(1791190987);
    EXPECT_EQ(gf_trafficClockText(), "09:03:07");
    clock.set(sundayMorning);
    EXPECT_EQ(gf_trafficClockText(), "07:25:18");
}

} // namespace
} // namespace zeph
