#include "traffic/stand_learning.h"

#include <gtest/gtest.h>

#include <fmt/format.h>

#include "support/motion_fixture.h"
#include "support/stand_builder.h"
#include "support/week_clock.h"

namespace zeph {
namespace {

class StandLearning : public test::MotionFixture {
protected:
    // Stand 1 with these uses; a live aircraft of the type and airline with the registration.
    LiveAc onStand(const char* type, const char* airline, const char* reg,
                   std::vector<test::UseSpec> uses = {}) {
        fresh();
        test::StandBuilder(test::kParkAirportPosition).stand({.id = "A2", .uses = std::move(uses)}).install();
        learnedUpdateCount = 0;
        return test::makeLiveAc(
            {.hexid = 20001, .callsign = "", .type = type, .airline = airline, .registration = reg});
    }
};

struct Step {
    std::uint32_t day, slot;
    const char* callsign;
    std::uint32_t mode;
};

// Each use as "day:slots reg airline type callsign/callsign2 real fromParkFile coupled;", then the learned
// updates, the aircraft's airline and type, and the last log line.
TEST_F(StandLearning, AStayIsLearnedAsOneUsePerOccupationSpan) {
    const test::UseSpec parkFile{.firstSlot = 30, .lastSlot = 30, .reg = "D-ABYA", .fromParkFile = true};
    struct Case {
        const char* type;
        std::uint8_t cargo;
        const char* reg;
        bool parkFile;
        std::vector<Step> steps;
        const char* expected;
        bool usedUp = false; // a static calculation uses up every use of the stand before each step
    };
    const Case cases[] = {
        {"B77W", 0, "D-ABYA", false, {{3, 20, "DLH400", 0}}, "3:20 D-ABYA DLH B77W DLH400/ 100; 1 DLH B77W"},
        {"B77W",
         0,
         "D-ABYA",
         false,
         {{3, 20, "DLH400", 0}, {3, 27, "DLH400", 2}},
         "3:20:27 D-ABYA DLH B77W DLH400/ 101; 1 DLH B77W"},
        {"B77W",
         0,
         "D-ABYA",
         false,
         {{3, 20, "D4", 0}, {3, 28, "D4", 2}},
         "3:20 D-ABYA DLH B77W D4/ 100; 3:28 D-ABYA DLH B77W D4/ 101; 2 DLH B77W"},
        {"B77W",
         0,
         "D-ABYA",
         false,
         {{3, 20, "DLH400", 0}, {3, 20, "DLH400", 2}},
         "3:20 D-ABYA DLH B77W DLH400/ 101; 1 DLH B77W"},
        {"B738",
         1,
         "D-ABYA",
         false,
         {{3, 20, "C", 0}, {3, 31, "C", 0}, {3, 43, "C", 0}},
         "3:20:31 D-ABYA DLH B738 C/ 100; 3:43 D-ABYA DLH B738 C/ 100; 2 DLH B738"},
        {"A320",
         0,
         "D-ABYA",
         false,
         {{3, 20, "A", 0}, {3, 25, "A", 0}, {3, 31, "A", 0}},
         "3:20:25 D-ABYA DLH A320 A/ 100; 3:31 D-ABYA DLH A320 A/ 100; 2 DLH A320"},
        {"A320",
         0,
         "D-ABYA",
         false,
         {{1, 47, "A", 0}, {2, 2, "A", 2}},
         "1:47 D-ABYA DLH A320 A/ 100; 2:2 D-ABYA DLH A320 A/ 101; 2 DLH A320"},
        {"A320",
         0,
         "D-ABYA",
         false,
         {{3, 10, "ABC1", 0}, {3, 13, "ABC2", 0}, {3, 14, "ABC3", 0}},
         "3:10:14 D-ABYA DLH A320 ABC1/ABC3 100; 1 DLH A320"},
        {"A320", 0, "_", false, {{3, 20, "A", 0}}, "0 DLH A320"},
        {"A320", 0, "D-ABYA", true, {{3, 20, "A", 0}}, "3:30 D-ABYA   / 110; 0 DLH A320"},
        {"A320", 0, "D-ABYA", true, {{3, 20, "A", 0}}, "3:30 D-ABYA   / 110; 0 DLH A320", true},
        {"A320",
         0,
         "D-ABYA",
         false,
         {{3, 20, "A", 0}, {3, 22, "A", 0}},
         "3:20:22 D-ABYA DLH A320 A/ 100; 1 DLH A320",
         true},
        {"A320",
         0,
         "D-ABYA",
         false,
         {{3, 20, "A", 0}, {3, 20, "A", 2}},
         "3:20 D-ABYA DLH A320 A/ 101; 1 DLH A320",
         true},
        {"A320", 0, "D-ABYA_", false, {{3, 20, "A", 0}}, "3:20 D-ABYA DLH A320 A/ 100; 1 DLH A320"},
        {"B738", 0, "D-AIMA", false, {{3, 20, "A", 0}}, "3:20 D-AIMA DLH A320 A/ 100; 1 DLH A320"},
        {"A320",
         0,
         "D-ABYA",
         false,
         {{3, 48, "A", 0}},
         "0 DLH A320 ==> lf_addRealStandOption: hh_now: 48, invalid bitset position"},
        {"A320",
         0,
         "D-ABYA",
         false,
         {{0, 20, "A", 0}},
         "0 DLH A320 ==> lf_addRealStandOption: hh_now: 20, invalid weekday"},
    };
    for (const Case& c : cases) {
        // D-AIMA is DLH's A320 in the registration codes; it comes as TST B738.
        LiveAc a = onStand(c.type, c.reg == std::string("D-AIMA") ? "TST" : "DLH", c.reg,
                           c.parkFile ? std::vector{parkFile} : std::vector<test::UseSpec>{});
        a.cargo = c.cargo;
        for (const Step& s : c.steps) {
            for (StandUse& u : standList[0].uses) {
                u.id = c.usedUp ? 0 : u.id;
            }
            currentWeekSlot = packWeekSlot({static_cast<int>(s.day), static_cast<int>(s.slot)});
            a.callsign = s.callsign;
            lf_addRealStandOption(1, a, s.mode);
        }
        std::string text;
        for (const StandUse& u : standList[0].uses) {
            text += fmt::format("{}:{} {} {} {} {}/{} {}{}{}; ", u.day,
                                gf_bitset2hours(u.slots).value_or("?"), u.reg, u.airline, u.type, u.callsign,
                                u.callsign2, u.real, u.fromParkFile, u.coupled);
        }
        const auto log = readLog();
        const std::string line = !log.empty() && log.back().starts_with("==> lf_add") ? " " + log.back() : "";
        EXPECT_EQ(fmt::format("{}{} {} {}{}", text, learnedUpdateCount, a.airline, a.type, line), c.expected)
            << c.reg << (c.usedUp ? " used up" : "") << " steps " << c.steps.size();
    }
}

// A use of Wednesday at slot `useSlot`, airline DLH, "DLH400" arriving and leaving as "DLH401" (`callsign2`).
TEST_F(StandLearning, TheCoupledCallsignComesFromAUseAroundThisTime) {
    struct Case {
        const char* type;
        const char* airline;
        int h;
        std::uint32_t useSlot, useDay;
        const char* callsign2;
        bool found;
    };
    const Case cases[] = {
        {"A320", "DLH", 3, 12, 3, "DLH401", true},  {"A320", "DLH", 2, 12, 3, "DLH401", true},
        {"B77W", "DLH", 3, 17, 3, "DLH401", true},  {"B77W", "DLH", 3, 18, 3, "DLH401", false},
        {"A320", "DLH", 3, 13, 3, "DLH401", true},  {"A320", "DLH", 3, 14, 3, "DLH401", false},
        {"A320", "DLH", 45, 35, 3, "DLH401", true}, {"A320", "KLM", 3, 12, 3, "DLH401", false},
        {"A320", "DLH", 3, 12, 3, "", false},       {"A320", "DLH", 3, 12, 2, "DLH401", false}};
    for (const Case& c : cases) {
        // A Heavy searched first must not widen the window of the aircraft after it.
        LiveAc heavy = onStand("B77W", "DLH", "D-ABYB");
        lf_searchForCoupledCsAroundThisTime(packWeekSlot({3, c.h}), heavy);
        LiveAc a = onStand(c.type, c.airline, "D-ABYA",
                           {{.firstSlot = c.useSlot,
                             .lastSlot = c.useSlot,
                             .airline = "DLH",
                             .callsign = "DLH400",
                             .callsign2 = c.callsign2}});
        a.callsign = "DLH401", a.firstCallsign = "", standList[0].uses[0].day = c.useDay;
        lf_searchForCoupledCsAroundThisTime(packWeekSlot({3, c.h}), a);
        EXPECT_EQ(a.firstCallsign + "/" + a.coupledCallsign, c.found ? "DLH400/DLH401" : "/")
            << c.type << " " << c.airline << " h " << c.h << " use " << c.useDay << ":" << c.useSlot;
    }
}

} // namespace
} // namespace zeph
