#include <cstdint>
#include <functional>
#include <limits>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "settings/max_fit_hours.h"
#include "state/main_window_state.h"
#include "support/motion_fixture.h"
#include "support/parameters_files.h"
#include "support/stand_builder.h"
#include "support/week_clock.h"
#include "traffic/making_way.h"
#include "traffic/max_fit.h"

namespace zeph {
namespace {

TEST(MaxFitHours, LevelsToHours) {
    struct Case {
        std::int32_t level;
        float hours;
    };
    const std::vector<Case> cases{
        {std::numeric_limits<std::int32_t>::min(), 0.5F},
        {-1, 0.5F},
        {0, 0.5F},
        {1, 1.0F},
        {2, 1.5F},
        {5, 3.0F},
        {8, 4.5F},
        {9, 5.0F},
        {10, 6.0F},
        {11, 6.0F},
        {12, 7.0F},
        {13, 7.0F},
        {14, 8.0F},
        {15, 8.0F},
        {16, 9.0F},
        {17, 9.0F},
        {18, 10.0F},
        {19, 10.0F},
        {20, 11.0F},
        {21, 11.0F},
        {22, 12.0F},
        {25, 12.0F},
        {26, 15.0F},
        {31, 15.0F},
        {32, 18.0F},
        {37, 18.0F},
        {38, 21.0F},
        {43, 21.0F},
        {44, 24.0F},
        {47, 24.0F},
        {48, 24.0F},
        {std::numeric_limits<std::int32_t>::max(), 24.0F},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(lf_maxFitHours(c.level), c.hours) << "level " << c.level;
    }
}

class MaxFitSearch : public test::MotionFixture {
protected:
    static std::string planText() {
        std::string text;
        for (const StaticPlanEntry& e : staticPlan)
            text += (text.empty() ? "" : " ") + std::to_string(e.standId) + ":" + std::to_string(e.age);
        return text;
    }
};

// Ten stands 100 m apart in a row; stand k gets the use the case makes of k.
void tenStands(const std::function<test::UseSpec(int)>& useOf, double spacing = 100.0, int count = 10) {
    test::StandBuilder builder(test::kParkAirportPosition);
    builder.row(count, spacing);
    for (int k = 1; k <= count; ++k)
        builder.use(useOf(k), "S" + std::to_string(k));
    builder.install();
}

test::UseSpec realUse(int k, std::uint32_t first = 20, std::uint32_t last = 20) {
    test::UseSpec use;
    use.firstSlot = first, use.lastSlot = last, use.reg = "D-AB" + std::to_string(k), use.airline = "DLH",
    use.type = "A320";
    return use;
}

TEST_F(MaxFitSearch, FindsTheBestFittingStandsByModeAndLevel) {
    const test::WeekClock clock(WeekSlot{3, 20});
    struct Case {
        const char* name;
        std::function<void()> setUp;
        std::int64_t wanted;
        std::string plan;
        std::string line;
        bool soft = false;
        bool week = false;
    };
    const Case cases[] = {
        {"current slot", [] { tenStands([](int k) { return realUse(k); }); }, 3, "1:0 2:0 3:0",
         "10 real positions found, Max fit=24.0 hours, day 3, hh:20 or 11.0 hrs, fit: 0.5 hour"},
        {"neighbours stay free", [] { tenStands([](int k) { return realUse(k); }, 30.0, 7); }, 7,
         "1:0 3:0 5:0 7:0",
         "4 real positions found, Max fit=24.0 hours, day 3, hh:20 or 11.0 hrs, fit: 24.0 hour"},
        {"three half hours back", [] { tenStands([](int k) { return realUse(k, 17, 17); }, 100.0, 1); }, 1,
         "1:3", "1 real position found, Max fit=24.0 hours, day 3, hh:20 or 11.0 hrs, fit: 2.0 hour"},
        {"soft use without PARK_SOFT",
         [] {
             tenStands(
                 [](int k) {
                     auto u = realUse(k);
                     u.real = false;
                     return u;
                 },
                 100.0, 1);
         },
         1, "", ""},
        {"soft use with PARK_SOFT",
         [] {
             PARK_SOFT.setValue(true);
             tenStands(
                 [](int k) {
                     auto u = realUse(k);
                     u.real = false;
                     return u;
                 },
                 100.0, 1);
         },
         1, "1:0", "1 soft position found, Max fit=24.0 hours, day 3, hh:20 or 11.0 hrs, fit: 0.5 hour",
         true},
        {"Tuesday use without WEEK",
         [] {
             tenStands(
                 [](int k) {
                     auto u = realUse(k);
                     u.day = 2;
                     return u;
                 },
                 100.0, 1);
         },
         1, "", ""},
        {"Tuesday use with WEEK",
         [] {
             WEEK.setValue(true);
             tenStands(
                 [](int k) {
                     auto u = realUse(k);
                     u.day = 2;
                     return u;
                 },
                 100.0, 1);
         },
         1, "1:0", "1 week/real position found, Max fit=24.0 hours, day 3, hh:20 or 11.0 hrs, fit: 0.5 hour",
         false, true},
        {"seen callsign used up",
         [] {
             seenCallsigns = {"ABC1_"};
             tenStands(
                 [](int k) {
                     auto u = realUse(k);
                     u.callsign = "ABC1";
                     return u;
                 },
                 100.0, 1);
             standList[0].uses.push_back(standList[0].uses[0]), standList[0].uses[1].id = 2,
                                                                standList[0].uses[1].callsign = "XYZ2";
         },
         1, "", ""},
        {"uses without callsigns",
         [] { tenStands([](int k) { return realUse(k, k <= 5 ? 20 : 19, k <= 5 ? 20 : 19); }); }, 8,
         "1:0 2:0 3:0 4:0 5:0 6:1 7:1 8:1",
         "10 real positions found, Max fit=24.0 hours, day 3, hh:20 or 11.0 hrs, fit: 1.0 hour"},
        {"one registration on two stands", [] { tenStands([](int) { return realUse(0); }, 100.0, 2); }, 2,
         "1:0", "1 real position found, Max fit=24.0 hours, day 3, hh:20 or 11.0 hrs, fit: 24.0 hour"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        fresh();
        test::resetParametersForTests(dir());
        RANDOM.setValue(false);
        staticPlan.clear(), seenCallsigns.clear(), mainWindowState.softMode = false,
                                                   mainWindowState.weekMode = false;
        c.setUp();
        const std::size_t lines = readLog().size();
        lf_maxFitSearch(WeekSlot{3, 20}, c.wanted, 0);
        EXPECT_EQ(planText(), c.plan);
        const auto log = readLog();
        EXPECT_EQ(log.size() == lines ? "" : log.back(), c.line);
        EXPECT_EQ(mainWindowState.softMode.load(), c.soft);
        EXPECT_EQ(mainWindowState.weekMode.load(), c.week);
    }
}

TEST_F(MaxFitSearch, FirstCalculationReportsThePlanOrNone) {
    for (const auto& [maxFit, line] :
         {std::pair{47, "3 positions (30% vs wanted 30%, with Max fit=24.0 hours)"},
          {2, "no parking positions found"}}) {
        SCOPED_TRACE(maxFit);
        fresh();
        test::resetParametersForTests(dir());
        const test::WeekClock clock(WeekSlot{3, 20});
        RANDOM.setValue(false), MAX_FIT.setValue(maxFit);
        tenStands([](int k) { return realUse(k, k <= 3 ? 17 - k : 0, k <= 3 ? 17 - k : 0); });
        lf_staticPositionsReport();
        const auto log = readLog();
        EXPECT_NE(std::find(log.begin(), log.end(), "10:00:00 (utc) It is day 3 (Wed), 11.0 hours"),
                  log.end());
        EXPECT_NE(std::find(log.begin(), log.end(), line), log.end());
        EXPECT_EQ(planText(), maxFit == 47 ? "3:6 2:5 1:4" : "") << "largest age first";
        EXPECT_EQ(staticRenewalBusy.load(), maxFit == 47) << "controls enabled again without a plan";
        EXPECT_EQ(mainWindowState.staticAverageFit.load(), -1.0F);
    }
}

} // namespace
} // namespace zeph
