#include <functional>

#include <gtest/gtest.h>

#include "aircraft/matching_tables.h"
#include "aircraft/no_match_list.h"

#include "aircraft/livery_memory.h"
#include "settings/parameter_table.h"
#include "sim/flight_plans.h"
#include "support/aircraft_fixture.h"
#include "support/fake_simulator.h"
#include "support/livery_tables.h"
#include "support/log_fixture.h"
#include "support/pass_harness.h"
#include "support/traffic_builders.h"
#include "traffic/sim_results.h"
#include "traffic/traffic_tables.h"

namespace zeph {
namespace {

// TST123 reports every 1000 passes at 12,000 ft, 300 kt, track 0, from 47.0 N 8.0 E; the user is on the
// ground nearby. Returns the creations and the pass (from t0) at which the record became active.
struct Outcome {
    std::vector<test::FakeSimulator::Creation> creations;
    std::int64_t activeAt = -1;
    std::int64_t t0 = 0;
};

class CreationScenario : public test::LogFixture {
protected:
    void SetUp() override {
        LogFixture::SetUp();
        failedLiveries.clear();
        flightPlanFolder = dir();
        MAX_LIVE_SEL.setValue(500);
    }
    void TearDown() override {
        // The refused title and the remembered livery outlive a run, as they do in the program: not the test.
        lf_clearTrafficTables();
        failedLiveries.clear();
        rememberedLiveries.clear();
        LogFixture::TearDown();
    }
    Outcome run(const std::function<void(test::FakeSimulator&)>& prepare = {}) {
        constexpr std::uint32_t hexid = 4000001;
        lf_clearTrafficTables();
        tickCounter = (tickCounter / 1000 + 1) * 1000; // every run at the same phase of the hand-over clock
        test::FakeSimulator fake;
        if (prepare) {
            prepare(fake);
        }
        test::placeUserAircraft(UserAcPosition{.latitude = 47.05, .longitude = 8.10}, true);
        std::vector<test::ScriptedReport> script;
        for (int k = 0; k < 6; ++k) {
            TrafficReport r;
            r.hexid = hexid;
            r.identity.type = "B738";
            r.identity.from = "ZRH";
            r.identity.to = "FRA";
            r.identity.callsign = "TST123";
            r.identity.registration = "D-ABCD";
            r.position.latitude = 47.0 + k * 300.0 / 360.0 / 60.0;
            r.position.longitude = 8.0;
            r.position.altitude = 12000;
            r.position.groundSpeed = r.position.trueAirspeed = 300;
            r.position.airborne = 1;
            r.reportTime = 1000.0 + 10.0 * k;
            script.push_back({1000 * k, r});
        }
        test::PassHarness harness(fake, script);
        Outcome outcome{{}, -1, harness.t0()};
        while (harness.passesRun() < 3400 && outcome.activeAt < 0) {
            harness.run(1);
            const LiveAc* a = gf_findLiveAc(hexid);
            if (a != nullptr && a->state == AcState::active) {
                outcome.activeAt = harness.passesRun() - 1;
            }
            if (a == nullptr && harness.passesRun() > 3000) {
                break;
            }
        }
        outcome.creations = fake.creations();
        for (auto& c : outcome.creations) {
            c.pass -= outcome.t0;
        }
        return outcome;
    }
    test::TestAircraft fleet_;
};

TEST_F(CreationScenario, AReportedAircraftEntersTheSimulatorTheSameWayEachRun) {
    const Outcome first = run();
    ASSERT_EQ(first.creations.size(), 1U);
    const test::FakeSimulator::Creation& made = first.creations[0];
    EXPECT_EQ(made.title, "Test Air B738");
    EXPECT_EQ(made.callsign, "TST123");
    EXPECT_EQ((made.pass + first.t0) % 50, 0);
    EXPECT_GE(made.pass, 2900);
    EXPECT_LE(made.pass, 2950);
    EXPECT_EQ(made.position.latitude, 47.0);
    EXPECT_EQ(made.position.altitude, 12000.0);
    EXPECT_NEAR(made.position.pitch, -3.0, 1e-9);
    EXPECT_EQ(made.position.heading, 0.0);
    EXPECT_EQ(made.position.onGround, 0U);
    EXPECT_GE(first.activeAt, 3100);
    EXPECT_LE(first.activeAt, 3260);
    EXPECT_EQ(gf_findLiveAc(4000001)->airline, "TST");
    const Outcome second = run();
    ASSERT_EQ(second.creations.size(), 1U);
    EXPECT_EQ(second.creations[0].pass, made.pass);
    EXPECT_EQ(second.activeAt, first.activeAt);
}

TEST_F(CreationScenario, ARefusedTitleIsNotCreatedAgain) {
    lf_emptyLiveryTables();
    test::installTestLiveries({test::testLivery("TST", "B738", "Test Air B738")});
    const Outcome refused = run([](test::FakeSimulator& fake) { fake.refuseTitles({"Test Air B738"}); });
    ASSERT_EQ(refused.creations.size(), 1U);
    EXPECT_EQ(readLog().back(), "TST123 'Test Air B738' could not be created by your Sim!");
    // The next record of the aircraft finds its remembered title refused and nothing else to match.
    const Outcome next = run([](test::FakeSimulator&) { rememberedLiveries[4000001] = "Test Air B738"; });
    EXPECT_TRUE(next.creations.empty());
    EXPECT_EQ(noMatchList.count("TST B738 D-ABCD"), 1U);
}

} // namespace
} // namespace zeph
