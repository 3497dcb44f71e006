#include <functional>
#include <numbers>
#include <string>
#include <tuple>
#include <vector>

#include <gtest/gtest.h>

#include "support/motion_fixture.h"
#include "support/parameters_files.h"
#include "support/stand_builder.h"
#include "support/week_clock.h"
#include "traffic/making_way.h"
#include "traffic/max_fit.h"
#include "traffic/static_plan.h"

namespace zeph {
namespace {

class StaticPlan : public test::MotionFixture {
protected:
    void SetUp() override {
        MotionFixture::SetUp();
        test::resetParametersForTests(dir());
        RANDOM.setValue(false), seenCallsigns.clear(), test::installTestParkAirport();
    }
    // An active DLH A320 static on a stand of the test airport, parked at a week slot.
    static StaticAc standing(std::uint32_t stand, const char* callsign, WeekSlot parked,
                             const char* first = "", const char* type = "A320") {
        StaticAc s = test::makeStaticAc(
            {.hexid = 100 + stand, .standNumber = stand, .callsign = callsign, .type = type});
        s.standLatitude = gf_standByNumber(stand)->latitude,
        s.standLongitude = gf_standByNumber(stand)->longitude;
        s.parkingDay = parked.day, s.parkingHalfHour = parked.slot, s.firstCallsign = first,
        s.objectId = 700 + stand, s.registration = "D-AIMA";
        return s;
    }
    static StaticPlanEntry entry(std::uint32_t stand, std::uint32_t age, const char* first,
                                 const char* coupled = "", std::uint8_t stays = 1) {
        return StaticPlanEntry{stand, age, "DLH", "A320", first, coupled, "D-AIMA", stays, false};
    }
    std::string lastLine() const { return readLog().back(); }
    static std::string outcome() { // kept statics; removed ones; plan length
        std::string text = "kept";
        for (const KeptStatic& k : keptStatics)
            text += " " + k.callsign;
        text += "; removed";
        for (const ParkingRemoval& r : parkingRemovalList)
            text += " " + r.callsign;
        return text + "; plan " + std::to_string(staticPlan.size());
    }
};

TEST_F(StaticPlan, WantedCountHexidsAndCallsigns) {
    test::StandBuilder(test::kParkAirportPosition).row(3, 100.0).install();
    for (const auto& [percent, wanted] : {std::pair{0, 0}, {30, 1}}) {
        parking_percentage.setValue(percent);
        EXPECT_EQ(lf_wantedStaticCount(), wanted) << percent << " %";
    }
    staticHexidCounter = 9999;
    const std::uint32_t wrapped = lf_nextStaticHexid();
    EXPECT_EQ(std::make_pair(wrapped, lf_nextStaticHexid()), std::make_pair(0U, 1U));
    staticHexidCounter = 4, staticAcTable = {test::makeStaticAc({.hexid = 5})};
    EXPECT_EQ(lf_nextStaticHexid(), 6U) << "a hexid still standing is skipped";
    for (const auto& [learned, shown] :
         {std::pair{"ABC123__", "ABC123*"}, {"ABC123*", "ABC123*"}, {"ABC1", "ABC1*"}}) {
        EXPECT_EQ(lf_staticCallsign(learned), shown);
    }
}

TEST_F(StaticPlan, BuildingOneStaticOrRefusingIt) {
    const test::WeekClock clock(WeekSlot{2, 3});
    const auto parkedLive = [](std::uint32_t stand) {
        LiveAc live = test::makeLiveAc({.hexid = 4000002, .callsign = "KLM12"}, AcState::active, 9);
        live.phase = AcPhase::parked, live.standNumber = stand;
        return live;
    };
    struct Case {
        const char* name;
        StaticPlanEntry plan;
        std::vector<LiveAc> lives;
        std::vector<StaticAc> statics;
        std::string line;
        std::string built;
    };
    const Case cases[] = {
        {"stays: first callsign", entry(2, 5, "DLH400", "DLH401"), {}, {}, "", "DLH400*"},
        {"leaves: coupled callsign", entry(2, 5, "DLH400", "DLH401", 0), {}, {}, "", "DLH401*"},
        {"no first callsign", entry(2, 5, ""), {}, {}, "", "DLH17*"},
        {"live here",
         entry(2, 5, "DLH400"),
         {parkedLive(2)},
         {},
         "A2      : no static parking for DLH400, live aircraft KLM12 standing here",
         ""},
        {"live next door",
         entry(2, 5, "DLH400"),
         {parkedLive(3)},
         {},
         "A2      : no static parking for DLH400, live aircraft KLM12 is adjacent at C3, possibly colliding",
         ""},
        {"static here",
         entry(2, 5, "DLH400"),
         {},
         {standing(2, "ABC1*", {2, 0})},
         "A2      : no static parking for DLH400, static aircraft ABC1* is adjacent at A2, possibly "
         "colliding",
         ""},
        {"static next door, wings touch",
         entry(2, 5, "DLH400"),
         {},
         {standing(3, "BIG1*", {2, 0}, "", "B77W")},
         "A2      : no static parking for DLH400, static aircraft BIG1* is adjacent at C3, possibly "
         "colliding",
         ""},
        {"unknown stand", entry(9, 5, "DLH400"), {}, {}, "==> stand with id sid==? not found", ""},
        {"no livery",
         StaticPlanEntry{2, 5, "QQQ", "XXXX", "QQQ1", "", "", 1, false},
         {},
         {},
         "A2      : QQQ1*     QQQ XXXX no livery match ...",
         ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        liveAcTable = c.lives, staticAcTable = c.statics, staticAddQueue.clear(), staticPlan = {c.plan},
        staticHexidCounter = 16;
        const std::size_t lines = readLog().size();
        lf_detcs();
        EXPECT_TRUE(staticPlan.empty() &&
                    staticAcTable.size() == c.statics.size() + (c.built.empty() ? 0U : 1U));
        ASSERT_EQ(staticAddQueue.size(), c.built.empty() ? 0U : 1U);
        if (c.built.empty()) {
            EXPECT_EQ(readLog().size() == lines ? "" : lastLine(), c.line);
            continue;
        }
        const AiCreateRequest& r = staticAddQueue.front();
        const StaticAc& s = staticAcTable.back();
        EXPECT_EQ(std::make_tuple(r.callsign, r.position.latitude, r.position.longitude, r.position.onGround,
                                  r.hexid, r.position.altitude),
                  std::make_tuple(c.built, gf_standByNumber(2)->latitude, gf_standByNumber(2)->longitude, 1U,
                                  s.hexid, 0.0));
        EXPECT_NEAR(r.position.heading, 90.0, 1e-9);
        EXPECT_EQ(std::make_tuple(s.parkingDay, s.parkingHalfHour, s.state),
                  std::make_tuple(1U, 46U, AcState::adding2sim));
    }
}

TEST_F(StaticPlan, RenewalKeepsReplacesOrSettlesTheConflict) {
    test::WeekClock clock(WeekSlot{2, 2});
    test::UseSpec use; // Monday, stand S1 slot 43, S2 slot 44
    use.day = 1, use.firstSlot = use.lastSlot = 43, use.reg = "D-AIMA", use.airline = "DLH",
    use.type = "A320";
    test::StandBuilder builder(test::kParkAirportPosition);
    builder.row(2, 200.0).use(use, "S1"), use.firstSlot = use.lastSlot = 44, builder.use(use, "S2");
    const StaticAc planned = standing(2, "DLH400*", {2, 0}, "DLH400");
    StaticAc seen = planned;
    seen.firstCallsign = "SEEN1";
    struct Case {
        const char* name;
        bool lookBack;
        std::vector<StaticAc> statics;
        std::vector<StaticPlanEntry> plan;
        std::string outcome;
        WeekSlot now = {2, 2};
    };
    const Case cases[] = {
        {"the planned one stays", false, {planned}, {entry(2, 0, "DLH400")}, "kept DLH400*; removed; plan 0"},
        {"its flight is live", false, {seen}, {entry(2, 0, "DLH400")}, "kept; removed DLH400*; plan 1"},
        {"parked before the entry's start",
         false,
         {standing(2, "X*", {1, 40})},
         {entry(2, 3, "DLH9")},
         "kept; removed X*; plan 1"},
        {"parked after it",
         false,
         {standing(2, "X*", {2, 1})},
         {entry(2, 3, "DLH9")},
         "kept X*; removed; plan 0"},
        {"previous day's slot 43 is out of the window",
         true,
         {standing(1, "X*", {1, 43})},
         {},
         "kept; removed X*; plan 0"},
        {"slot 44 is in", true, {standing(2, "Y*", {1, 44})}, {}, "kept Y*; removed; plan 0"},
        {"Sunday 23:00 is before a Monday 01:00 start",
         false,
         {standing(2, "X*", {7, 46})},
         {entry(2, 0, "DLH9")},
         "kept; removed X*; plan 1",
         {1, 2}},
        {"latest parked first across the week's end: the trim takes Sunday's",
         false,
         {standing(1, "X*", {7, 47}, "X"), standing(3, "Y*", {1, 0}, "Y")},
         {entry(1, 0, "X"), entry(3, 0, "Y")},
         "kept Y* X*; removed; plan 0",
         {1, 1}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        keptStatics.clear(), parkingRemovalList.clear(), seenCallsigns = {"SEEN1"}, realFitLevel = 5,
                                                         softFitLevel = -1;
        c.lookBack ? builder.install() : test::installTestParkAirport();
        staticAcTable = c.statics, staticPlan = c.plan, clock.set(c.now);
        lf_placeStatic(c.now);
        EXPECT_EQ(outcome(), c.outcome);
    }
}

TEST_F(StaticPlan, TrimCutsPlanThenEarliestKeptThenLongestParkedLive) {
    struct Case {
        const char* name;
        std::size_t plan;
        std::size_t kept;
        std::int64_t wanted;
        std::string outcome;
        std::size_t liveLeft;     // parked and active
        bool leaverFirst = false; // an aircraft pushing back from stand 1 comes first in the table
    };
    const Case cases[] = {
        {"plan cut from its end", 10, 5, 12, "kept K0 K1 K2 K3 K4; removed; plan 4", 3},
        {"earliest kept go", 0, 5, 4, "kept K0; removed K4 K3 K2 K1; plan 0", 3},
        {"nothing wanted", 2, 1, 0, "kept; removed K0; plan 0", 0},
        {"nothing wanted, the leaver is not the one parked", 2, 1, 0, "kept; removed K0; plan 0", 0, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        staticPlan.assign(c.plan, entry(1, 0, "P")), keptStatics.clear(), parkingRemovalList.clear(),
            liveAcTable.clear(), liveParkedList.clear();
        for (std::size_t k = 0; k < c.kept; ++k)
            keptStatics.emplace_back().callsign = "K" + std::to_string(k);
        if (c.leaverFirst) {
            LiveAc& leaver =
                liveAcTable.emplace_back(test::makeLiveAc({.hexid = 4000009}, AcState::active, 9));
            leaver.phase = AcPhase::pushing_back, leaver.standNumber = 1;
        }
        for (std::uint32_t stand = 1; stand <= 3; ++stand) {
            LiveAc& live = liveAcTable.emplace_back(
                test::makeLiveAc({.hexid = 4000000 + stand}, AcState::active, stand));
            live.phase = AcPhase::parked, live.standNumber = stand;
            liveParkedList.push_back(ParkedLive{live.callsign, 0, stand, static_cast<std::int32_t>(stand)});
        }
        lf_trimToWanted(c.wanted);
        EXPECT_EQ(outcome(), c.outcome);
        EXPECT_EQ(std::count_if(liveAcTable.begin(), liveAcTable.end(),
                                [](const LiveAc& a) {
                                    return a.state == AcState::active && a.phase == AcPhase::parked;
                                }),
                  c.liveLeft);
    }
}

TEST_F(StaticPlan, RenewalReplansALeavingStaticAndWaitsOnceForItsRemoval) {
    const test::WeekClock clock(WeekSlot{2, 6});
    test::UseSpec use;
    use.day = 2, use.firstSlot = 0, use.lastSlot = 6, use.reg = "D-AIMA", use.airline = "DLH",
    use.type = "A320", use.callsign = "DLH400", use.callsign2 = "DLH401";
    for (const bool released : {true, false}) {
        SCOPED_TRACE(released ? "removal reported" : "removal held back");
        test::StandBuilder(test::kParkAirportPosition).row(4, 100.0).use(use, "S1").install();
        StaticAc kept = standing(1, "DLH400*", {2, 0}, "DLH400");
        kept.coupledCallsign = "DLH401", kept.registration = "D-AIMA", staticAcTable = {kept},
        staticAddQueue.clear();
        lf_parkingAdjustments();
        EXPECT_TRUE(logHas("Parking adjustments: 1 to be removed, 1 to be added"));
        ASSERT_EQ(staticPlan.size(), 1U);
        EXPECT_EQ(std::make_tuple(staticPlan[0].age, staticAcTable[0].state),
                  std::make_tuple(6U, AcState::removingfromsim));
        lf_detcs();
        EXPECT_TRUE(staticPlan.size() == 1 && staticPlan[0].deferred) << "put back once, without a line";
        if (released)
            staticAcTable.clear(); // the simulator reported the removal
        lf_detcs();
        EXPECT_EQ(
            std::make_tuple(staticPlan.size(), staticAddQueue.empty() ? "" : staticAddQueue.front().callsign),
            std::make_tuple(0UL, std::string(released ? "DLH401*" : "")));
        if (released)
            EXPECT_EQ(std::make_tuple(staticAcTable[0].parkingDay, staticAcTable[0].parkingHalfHour),
                      std::make_tuple(2U, 0U));
        else
            EXPECT_EQ(lastLine(), "S1      : no static parking for DLH400, static aircraft DLH400* is "
                                  "adjacent at S1, possibly colliding");
    }
}

TEST_F(StaticPlan, RenewalPlacesWhatItPlansBesideAStaticAndKeepsAnOvernightStay) {
    // DLH400* (D-AIMA) stands on S1 from Wednesday 20:00; its use goes on to 23:30 and leaves as DLH401.
    test::UseSpec own{.day = 3,
                      .firstSlot = 40,
                      .lastSlot = 47,
                      .reg = "D-AIMA",
                      .airline = "DLH",
                      .type = "A320",
                      .callsign = "DLH400",
                      .callsign2 = "DLH401"};
    test::UseSpec thursday = own, beside = own; // beside: another A320 on S2
    thursday.day = 4, thursday.firstSlot = 0, thursday.lastSlot = 5;
    beside.reg = "D-AIMB", beside.callsign = "DLH2", beside.callsign2 = "";
    struct Case {
        const char* name;
        WeekSlot now;
        bool week;
        test::UseSpec other;
        std::string outcome; // plan length after the renewal; what is built; the static kept or removed
    };
    const Case cases[] = {
        {"an A320 beside it: the wings clear", {3, 44}, false, beside, "plan 1; built DLH2*; stays"},
        {"overnight, WEEK off", {3, 47}, false, thursday, "plan 0; built; stays"},
        {"overnight, WEEK on", {3, 47}, true, thursday, "plan 0; built; stays"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const test::WeekClock clock(c.now);
        WEEK.setValue(c.week), CUSTOM_PARKING_PERCENTAGE.setValue(67); // two of the three stands
        test::StandBuilder(test::kParkAirportPosition)
            .row(3, 45.0, 90.0, 25.0)
            .use(own, "S1")
            .use(c.other, c.other.reg == own.reg ? "S1" : "S2")
            .install();
        StaticAc kept = standing(1, "DLH400*", {3, 40}, "DLH400");
        kept.coupledCallsign = "DLH401", staticAcTable = {kept}, staticAddQueue.clear();
        lf_parkingAdjustments();
        std::string text = "plan " + std::to_string(staticPlan.size()) + "; built";
        while (!staticPlan.empty())
            lf_detcs();
        for (const AiCreateRequest& r : staticAddQueue)
            text += " " + r.callsign;
        EXPECT_EQ(text + (staticAcTable[0].state == AcState::active ? "; stays" : "; removed"), c.outcome);
    }
}

} // namespace
} // namespace zeph
