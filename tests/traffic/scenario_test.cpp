#include <cmath>
#include <cstring>
#include <filesystem>

#include <gtest/gtest.h>

#include "core/geodesy.h"
#include "settings/parameter_table.h"
#include "support/motion_fixture.h"
#include "support/traffic_script.h"

namespace zeph {
namespace {

class Scenario : public test::MotionFixture {
protected:
    // The positions object 100 is sent in the run.
    std::vector<AiPositionData> fly(const std::vector<test::ScriptedReport>& script, test::FlightSpan& span) {
        fresh();
        fake_->recordPositions(true);
        fake_->setHeightAboveGround(
            10600.0); // 12000 ft over the fake's ground: the created aircraft's report
        test::PassHarness harness(*fake_, script);
        span = test::watchFlight(harness, 4000001, 22000);
        return fake_->positions(100);
    }
};

// Twelve reports 10 s apart, then silence: the airliner flies each report, then eight predictions, and
// leaves the simulator; a second run sends the same positions bit for bit.
TEST_F(Scenario, AnAirlinerFliesItsReportsThenItsPredictionsAndLeaves) {
    const auto script = test::straightFlight(test::airlinerReport());
    test::FlightSpan span;
    const std::vector<AiPositionData> sent = fly(script, span);
    ASSERT_GT(span.activeAt, 0);
    ASSERT_EQ(static_cast<std::int64_t>(sent.size()), span.leftAt - span.activeAt) << "one position a pass";
    std::vector<std::size_t> reached{0}; // the first position at report k
    for (std::size_t i = 0; i < sent.size(); ++i) {
        ASSERT_TRUE(std::abs(sent[i].longitude - 8) < 1e-9 && std::abs(sent[i].altitude - 12000) < 0.5) << i;
        ASSERT_LT(std::fabs(std::remainder(sent[i].heading, kTwoPi)), 0.5 * kDegToRad);
        ASSERT_TRUE(i == 0 || sent[i].latitude >= sent[i - 1].latitude) << i;
        const std::size_t k = reached.size();
        if (k < script.size() && sent[i].latitude >= script[k].report.position.latitude - 1e-9) {
            reached.push_back(i);
        }
    }
    ASSERT_EQ(reached.size(), 12U);
    const auto lagOf = [&](std::size_t k) {
        return span.activeAt + std::int64_t(reached[k]) - 1000 * std::int64_t(k) - 3000;
    };
    for (std::size_t k = 1; k <= 11; ++k) {
        EXPECT_TRUE(lagOf(k) >= 100 && lagOf(k) <= 260 && std::abs(lagOf(k) - lagOf(1)) <= 2) << k;
        const double from = script[k - 1].report.position.latitude, to = script[k].report.position.latitude;
        const std::size_t mid = (reached[k - 1] + reached[k]) / 2; // halfway in time, halfway in place
        const double share = double(mid - reached[k - 1]) / double(reached[k] - reached[k - 1]);
        EXPECT_TRUE(k == 1 ||
                    std::abs(sent[mid].latitude - from - (to - from) * share) * 60 * kMetresPerNm < 1)
            << k;
    }
    EXPECT_NEAR(sent.back().latitude, 47.2238, 0.0005) << "8 predictions at 95 % compounded";
    ASSERT_EQ(fake_->removals().size(), 1U);
    EXPECT_TRUE(fake_->removals()[0].objectId == 100 && fake_->removals()[0].pass >= kNow + 20000 &&
                fake_->removals()[0].pass <= kNow + 21000);
    EXPECT_TRUE(liveAcTable.empty() && !std::filesystem::exists(gf_flightPlanPath(100)));
    for (const std::string& line : readLog()) {
        EXPECT_TRUE(line.find("! ") == line.npos && line.find("exception") == line.npos) << line;
    }
    test::FlightSpan again;
    const std::vector<AiPositionData> second = fly(script, again);
    EXPECT_TRUE(second.size() == sent.size() &&
                std::memcmp(second.data(), sent.data(), sent.size() * sizeof sent[0]) == 0);
}

// The airliner is called TST124 from its sixth report on: it leaves the simulator once and comes back where
// it was under its new callsign; with GUID_CHANGES off it keeps its object to the end.
TEST_F(Scenario, ANewCallsignBringsTheAirlinerBackUnderIt) {
    auto script = test::straightFlight(test::airlinerReport());
    for (std::size_t k = 5; k < script.size(); ++k)
        script[k].report.identity.callsign = "TST124";
    for (const bool guid : {true, false}) {
        SCOPED_TRACE(guid);
        GUID_CHANGES.setValue(guid);
        test::FlightSpan span;
        const std::vector<AiPositionData> first = fly(script, span);
        const auto& made = fake_->creations();
        const auto& removed = fake_->removals();
        ASSERT_EQ(made.size(), guid ? 2U : 1U);
        ASSERT_EQ(removed.size(), made.size());
        EXPECT_EQ(removed[0].objectId, 100U);
        if (guid) {
            EXPECT_TRUE(made[1].objectId == 101 && made[1].callsign == "TST124" &&
                        made[1].title == "Test Air B738");
            const AiPositionData again = fake_->positions(101).front();
            EXPECT_LT(gf_greatCircleDistance({first.back().latitude, first.back().longitude},
                                             {again.latitude, again.longitude}),
                      0.05);
            EXPECT_TRUE(removed[0].pass < made[1].pass && removed[1].objectId == 101);
        }
        EXPECT_GE(removed.back().pass, kNow + 20000) << "the last object leaves after its predictions";
    }
    GUID_CHANGES.setValue(true);
}

} // namespace
} // namespace zeph
