#include "traffic/report_intake.h"

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <limits>
#include <string>
#include <vector>

#include <fmt/format.h>
#include <gtest/gtest.h>

#include "settings/parameter_table.h"
#include "support/aircraft_fixture.h"
#include "support/airport_fixture.h"
#include "support/log_fixture.h"
#include "support/traffic_builders.h"
#include "traffic/park_airport_status.h"
#include "traffic/traffic_tables.h"

namespace zeph {
namespace {

using test::makeLiveAc;
using test::makeReport;
using test::ReportSpec;

constexpr std::uint32_t kHexid = 0x400044;
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

class ReportIntake : public test::LogFixture {
protected:
    void SetUp() override {
        LogFixture::SetUp();
        fresh();
    }
    void TearDown() override {
        fresh();
        test::clearTestAircraft();
        LogFixture::TearDown();
    }

    // Every case starts from empty tables, the test fleet, no park airport and every kind wanted.
    static void fresh() {
        lf_clearTrafficTables();
        test::clearTestParkAirport();
        test::installTestAircraft();
        test::placeUserAircraft(test::kParkAirportPosition);
        setWantedKinds(true, true, true);
    }

    static void setWantedKinds(bool light, bool helicopters, bool highPerf) {
        LIGHT_AIRCRAFT.setValue(light);
        HELICOPTERS.setValue(helicopters);
        HIGH_PERF_AIRCRAFT.setValue(highPerf);
    }

    std::size_t countLinesWith(const std::string& text) const {
        std::size_t count = 0;
        for (const std::string& line : readLog()) {
            count += line.find(text) != std::string::npos ? 1 : 0;
        }
        return count;
    }
};

// A known aircraft reported last at 1000.0 s, its newest position as given; one more report follows.
TEST_F(ReportIntake, KnownAircraftTakesOnlyPlausibleNewsAsItsNextPosition) {
    struct Case {
        const char* name;
        double newestSpeed = 250.0;
        bool airborne = true; // the newest position and the report alike
        double reportSpeed = 250.0;
        double trackOff = 10.0; // degrees between the report's track and the newest one
        double elapsed = 10.0;  // seconds after the last report
        std::int32_t timingMode = 0;
        AcState state = AcState::active;
        bool parkAirport = false;
        double altitude = 3000.0;
        std::size_t streamLength = 1;
        bool taken = false;
        bool removed = false;
    };
    // clang-format off
    const std::vector<Case> cases{
        {.name = "1.0 s later", .elapsed = 1.0},
        {.name = "1.01 s later", .elapsed = 1.01, .taken = true},
        {.name = "6 kt then 60 kt", .newestSpeed = 6.0, .airborne = false, .reportSpeed = 60.0},
        {.name = "6 kt then 59 kt", .newestSpeed = 6.0, .airborne = false, .reportSpeed = 59.0, .taken = true},
        {.name = "5 kt then 80 kt", .newestSpeed = 5.0, .airborne = false, .reportSpeed = 80.0},
        {.name = "5 kt then 79 kt", .newestSpeed = 5.0, .airborne = false, .reportSpeed = 79.0, .taken = true},
        {.name = "80 kt then 5 kt", .newestSpeed = 80.0, .airborne = false, .reportSpeed = 5.0},
        {.name = "300 kt same track 2.5 s", .newestSpeed = 300.0, .reportSpeed = 300.0, .trackOff = 0.0,
         .elapsed = 2.5},
        {.name = "300 kt same track 3.0 s", .newestSpeed = 300.0, .reportSpeed = 300.0, .trackOff = 0.0,
         .elapsed = 3.0, .taken = true},
        {.name = "300 kt 1.5 deg off 2.5 s", .newestSpeed = 300.0, .reportSpeed = 300.0, .trackOff = 1.5,
         .elapsed = 2.5, .taken = true},
        {.name = "120 kt same track 2.5 s", .newestSpeed = 120.0, .reportSpeed = 120.0, .trackOff = 0.0,
         .elapsed = 2.5, .taken = true},
        {.name = "ground 0 kt 15.0 s", .newestSpeed = 0.0, .airborne = false, .reportSpeed = 0.0,
         .trackOff = 0.0, .elapsed = 15.0},
        {.name = "ground 0 kt 15.01 s", .newestSpeed = 0.0, .airborne = false, .reportSpeed = 0.0,
         .trackOff = 0.0, .elapsed = 15.01, .taken = true},
        {.name = "ground 1 kt waits at most 15 s", .newestSpeed = 1.0, .airborne = false, .reportSpeed = 1.0,
         .trackOff = 0.0, .elapsed = 15.01, .taken = true},
        {.name = "ground 10 kt 3.8 s", .newestSpeed = 10.0, .airborne = false, .reportSpeed = 10.0,
         .trackOff = 0.0, .elapsed = 3.8},
        {.name = "ground 10 kt 3.9 s", .newestSpeed = 10.0, .airborne = false, .reportSpeed = 10.0,
         .trackOff = 0.0, .elapsed = 3.9, .taken = true},
        {.name = "timing mode 1, 300 kt same track 2.5 s", .newestSpeed = 300.0, .reportSpeed = 300.0,
         .trackOff = 0.0, .elapsed = 2.5, .timingMode = 1, .taken = true},
        {.name = "liveryrespawn", .state = AcState::liveryrespawn},
        {.name = "removingfromsim", .state = AcState::removingfromsim},
        {.name = "buffer, 50 ft above the park airport", .state = AcState::buffer, .parkAirport = true,
         .altitude = 5000.0},
        {.name = "active, 50 ft above the park airport", .parkAirport = true, .altitude = 5000.0,
         .taken = true},
        {.name = "stream of 200", .streamLength = 200, .taken = true},
        {.name = "stream past 200", .state = AcState::buffer, .streamLength = 201, .removed = true},
    };
    // clang-format on
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        fresh();
        if (c.parkAirport) {
            test::installTestParkAirport();
        }
        ReportSpec spec{.hexid = kHexid,
                        .altitude = c.altitude,
                        .groundSpeed = c.newestSpeed,
                        .airborne = c.airborne,
                        .reportTime = 1000.0};
        LiveAc known = makeLiveAc(spec, c.state, 101);
        known.timingMode = c.timingMode;
        known.stream.resize(c.streamLength, known.stream.front());
        liveAcTable.push_back(known);

        spec.groundSpeed = c.reportSpeed;
        spec.track += c.trackOff;
        spec.reportTime = 1000.0 + c.elapsed;
        spec.distanceNm += 0.1; // a point of its own: a repeated point is not flown in the air
        TrafficReport report = makeReport(spec);
        lf_processRtRecord(report);

        ASSERT_EQ(liveAcTable.size(), 1U);
        const LiveAc& after = liveAcTable.front();
        EXPECT_EQ(after.stream.size(), c.streamLength + (c.taken ? 1 : 0));
        // A report past the filters counts as heard even when the full stream cannot take it.
        EXPECT_EQ(after.lastReportTime, c.taken || c.removed ? spec.reportTime : 1000.0);
        EXPECT_EQ(after.remove, c.removed ? 1 : 0);
        if (c.taken) {
            // The report is stamped in the same pass as the newest position: it must still come after it.
            const StreamPos& previous = after.stream[after.stream.size() - 2];
            EXPECT_GE(after.stream.back().duePass, previous.duePass + 1);
            EXPECT_EQ(after.stream.back().groundSpeed, c.reportSpeed);
        }
    }
}

TEST_F(ReportIntake, NewAircraftIsCreatedOnlyWhenItsTypeIsKnownItsKindWantedAndItIsNotAStandingDuplicate) {
    struct Case {
        const char* name;
        ReportSpec report;
        bool parkAirport = false;
        std::vector<ReportSpec> table{}; // live records already there
        bool light = true;
        bool helicopters = true;
        bool highPerf = true;
        bool created = false;
        const char* type = "";
        AcKind kind = AcKind::Large;
        double wingspan = 35.8;
    };
    const auto at = [](double altitude) { return ReportSpec{.hexid = kHexid, .altitude = altitude}; };
    const auto typed = [](const char* type, const char* registration = "") {
        return ReportSpec{.hexid = kHexid, .callsign = "TST1", .type = type, .registration = registration};
    };
    const ReportSpec other{.hexid = 0x500001, .callsign = "DLH4AB", .type = "B738"};
    const ReportSpec noCallsign{.hexid = 0x500002, .callsign = ""};
    // clang-format off
    const std::vector<Case> cases{
        {.name = "50 ft above the park airport", .report = at(5000.0), .parkAirport = true},
        {.name = "120 ft above the park airport", .report = at(5070.0), .parkAirport = true, .created = true,
         .type = "B738"},
        {.name = "0 ft at the park airport", .report = at(0.0), .parkAirport = true, .created = true,
         .type = "B738"},
        {.name = "10000 ft at the park airport", .report = at(10000.0), .parkAirport = true, .created = true,
         .type = "B738"},
        {.name = "4990 ft without park airport", .report = at(4990.0), .created = true, .type = "B738"},
        {.name = "unknown type, known registration", .report = typed("XXXX", "D-AIMA"), .created = true,
         .type = "A320"},
        {.name = "unknown type and registration", .report = typed("XXXX", "D-XXXX")},
        {.name = "Light unwanted", .report = typed("C172"), .light = false},
        {.name = "Light wanted", .report = typed("C172"), .created = true, .type = "C172",
         .kind = AcKind::Light, .wingspan = 11.0},
        {.name = "Rotorcraft unwanted", .report = typed("EC35"), .helicopters = false},
        {.name = "HighPerf unwanted", .report = typed("F16"), .highPerf = false},
        {.name = "Heavy with nothing wanted", .report = typed("B77W"), .light = false, .helicopters = false,
         .highPerf = false, .created = true, .type = "B77W", .kind = AcKind::Heavy, .wingspan = 64.8},
        {.name = "callsign and type known under another hexid", .report = at(3000.0), .table = {other}},
        {.name = "same callsign, other type", .report = typed("A320"), .table = {typed("B738")},
         .created = true, .type = "A320"},
        {.name = "empty callsign beside another empty callsign",
         .report = ReportSpec{.hexid = kHexid, .callsign = ""}, .table = {noCallsign}, .created = true,
         .type = "B738"},
    };
    // clang-format on
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        fresh();
        if (c.parkAirport) {
            test::installTestParkAirport();
        }
        setWantedKinds(c.light, c.helicopters, c.highPerf);
        for (ReportSpec spec : c.table) {
            spec.hexid = spec.hexid == kHexid ? 0x500009 : spec.hexid;
            liveAcTable.push_back(makeLiveAc(spec));
        }
        TrafficReport report = makeReport(c.report);
        report.identity.coupledCallsign = "OLD1"; // cleared for a new record
        report.identity.coupledSearchDone = 1;
        lf_processRtRecord(report);

        ASSERT_EQ(liveAcTable.size(), c.table.size() + (c.created ? 1 : 0));
        if (!c.created) {
            continue;
        }
        const LiveAc& made = liveAcTable.back();
        EXPECT_EQ(made.hexid, kHexid);
        EXPECT_EQ(made.type, c.type);
        EXPECT_EQ(made.kind, c.kind);
        EXPECT_DOUBLE_EQ(made.radius, test::halfSpanNm(c.wingspan));
        EXPECT_EQ(made.state, AcState::buffer);
        EXPECT_EQ(made.phase, AcPhase::birth);
        EXPECT_EQ(made.firstCallsign, made.callsign);
        EXPECT_EQ(made.coupledCallsign, "");
        EXPECT_EQ(made.coupledSearchDone, 0U);
        EXPECT_EQ(made.turnRate, made.baseTurnRate);
        EXPECT_EQ(made.climbStep, kindValuesOf(c.kind).climbStep);
        EXPECT_EQ(made.slowTaxiSpeed, kindValuesOf(c.kind).slowTaxiSpeed);
        ASSERT_EQ(made.stream.size(), 1U);
        EXPECT_EQ(made.lastReportTime, report.reportTime);
    }
}

TEST_F(ReportIntake, ReportWithANonFiniteNumberIsDroppedWithOneLine) {
    struct Case {
        const char* name;
        std::function<void(TrafficReport&)> spoil;
        bool known;
    };
    // clang-format off
    const std::vector<Case> cases{
        {"NaN latitude, new", [](TrafficReport& r) { r.position.latitude = kNaN; }, false},
        {"+inf altitude, new", [](TrafficReport& r) { r.position.altitude = kInf; }, false},
        {"NaN report time, new", [](TrafficReport& r) { r.reportTime = kNaN; }, false},
        {"NaN latitude, known", [](TrafficReport& r) { r.position.latitude = kNaN; }, true},
        {"+inf altitude, known", [](TrafficReport& r) { r.position.altitude = kInf; }, true},
        {"NaN report time, known", [](TrafficReport& r) { r.reportTime = kNaN; }, true},
        {"NaN roll, known", [](TrafficReport& r) { r.position.roll = kNaN; }, true},
    };
    // clang-format on
    const std::string line =
        fmt::format("==> ! lf_processRtRecord: non-finite value, report of hexid {} dropped", kHexid);
    for (std::size_t i = 0; i < cases.size(); ++i) {
        const Case& c = cases[i];
        SCOPED_TRACE(c.name);
        fresh();
        const ReportSpec spec{.hexid = kHexid, .reportTime = 1000.0};
        if (c.known) {
            liveAcTable.push_back(makeLiveAc(spec, AcState::active, 101));
        }
        TrafficReport report = makeReport(ReportSpec{.hexid = kHexid, .track = 180.0, .reportTime = 1100.0});
        c.spoil(report);
        lf_processRtRecord(report);

        ASSERT_EQ(liveAcTable.size(), c.known ? 1U : 0U);
        if (c.known) {
            EXPECT_EQ(liveAcTable.front().stream.size(), 1U);
            EXPECT_EQ(liveAcTable.front().lastReportTime, 1000.0);
        }
        EXPECT_EQ(countLinesWith(line), i + 1); // the log runs on over the cases
    }
}

} // namespace
} // namespace zeph
