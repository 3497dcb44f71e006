#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "model/sim_records.h"
#include "realtraffic/report_queue.h"
#include "sim/ai_objects.h"
#include "support/log_fixture.h"
#include "traffic/traffic_tables.h"

namespace zeph {
namespace {

TrafficReport reportOf(std::uint32_t hexid, std::int64_t carriedDuePass = 0) {
    TrafficReport report;
    report.hexid = hexid;
    report.identity.callsign = "TST" + std::to_string(hexid);
    report.position.duePass = carriedDuePass;
    report.reportTime = 1000.0 + hexid;
    return report;
}

class TrafficTablesTest : public ::testing::Test {
protected:
    void SetUp() override {
        lf_clearTrafficTables();
        setTrafficAccepting(false);
        tickCounter = 0;
    }
    void TearDown() override {
        lf_clearTrafficTables();
        setTrafficAccepting(false);
        tickCounter = 0;
    }
};

TEST_F(TrafficTablesTest, PushTakesReportsOnlyWhileAccepting) {
    struct Case {
        const char* name;
        bool accepting;
        std::int64_t tick;
        std::vector<std::uint32_t> hexids;
        bool taken;
    };
    const std::vector<Case> cases{
        {"refused while not accepting", false, 500, {10001, 10002}, false},
        {"one report at pass 0", true, 0, {10001}, true},
        {"three reports keep their order", true, 1234, {10003, 10001, 10002}, true},
        {"a pass clock past 32 bits", true, 2'147'483'645, {10001, 10002}, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        lf_clearTrafficTables();
        setTrafficAccepting(c.accepting);
        tickCounter = c.tick;
        for (const std::uint32_t hexid : c.hexids) {
            // A due pass carried in by the caller is never kept: the push stamps its own.
            EXPECT_EQ(gf_pushTrafficReport(reportOf(hexid, 7)), c.taken) << "hexid " << hexid;
        }
        const std::lock_guard lock(addingStackMutex);
        ASSERT_EQ(addingStack.size(), c.taken ? c.hexids.size() : 0U);
        for (std::size_t i = 0; i < addingStack.size(); ++i) {
            EXPECT_EQ(addingStack[i].hexid, c.hexids[i]) << "position " << i;
            EXPECT_EQ(addingStack[i].identity.callsign, "TST" + std::to_string(c.hexids[i]));
            EXPECT_EQ(addingStack[i].position.duePass, c.tick + 3000) << "position " << i;
        }
    }
}

TEST_F(TrafficTablesTest, DuePassFollowsThePassClockBetweenPushes) {
    setTrafficAccepting(true);
    const std::vector<std::int64_t> ticks{100, 101, 4000, 2'147'483'647, 2'147'483'648};
    for (const std::int64_t tick : ticks) {
        tickCounter = tick;
        EXPECT_TRUE(gf_pushTrafficReport(reportOf(static_cast<std::uint32_t>(tick % 1000) + 10001)));
    }
    const std::lock_guard lock(addingStackMutex);
    ASSERT_EQ(addingStack.size(), ticks.size());
    for (std::size_t i = 0; i < ticks.size(); ++i) {
        EXPECT_EQ(addingStack[i].position.duePass, ticks[i] + 3000) << "push at pass " << ticks[i];
    }
}

TEST_F(TrafficTablesTest, StoppingTheIntakeKeepsWhatIsAlreadyOnTheStack) {
    setTrafficAccepting(true);
    EXPECT_TRUE(gf_pushTrafficReport(reportOf(10001)));
    setTrafficAccepting(false);
    EXPECT_FALSE(gf_pushTrafficReport(reportOf(10002)));
    setTrafficAccepting(true);
    EXPECT_TRUE(gf_pushTrafficReport(reportOf(10003)));
    const std::lock_guard lock(addingStackMutex);
    ASSERT_EQ(addingStack.size(), 2U);
    EXPECT_EQ(addingStack[0].hexid, 10001U);
    EXPECT_EQ(addingStack[1].hexid, 10003U);
}

TEST_F(TrafficTablesTest, ClearEmptiesTheQueuesAndKeepsThePassClock) {
    lf_reserveTrafficTables();
    EXPECT_GE(acIdsToAdd.capacity(), 64U);
    setTrafficAccepting(true);
    tickCounter = 777;
    ASSERT_TRUE(gf_pushTrafficReport(reportOf(10001)));
    acIdsToAdd = {10001, 10002};
    AiCreateRequest request;
    request.callsign = "ABC1";
    request.hexid = 10001;
    liveAddQueue.push_back(request);
    staticAddQueue.push_back(request);
    removalQueue = {7, 8};
    landingFlare = true;

    lf_clearTrafficTables();

    EXPECT_TRUE(acIdsToAdd.empty());
    EXPECT_TRUE(liveAddQueue.empty());
    EXPECT_TRUE(staticAddQueue.empty());
    EXPECT_TRUE(removalQueue.empty());
    EXPECT_FALSE(landingFlare);
    EXPECT_EQ(tickCounter.load(), 777);
    const std::lock_guard lock(addingStackMutex);
    EXPECT_TRUE(addingStack.empty());
}

// A full stack drops reports; the log gets the first drop of a spell, then one count a minute, and a new
// spell after a minute without a drop.
class DiscardLines : public test::LogFixture {
protected:
    void TearDown() override {
        setDiscardClockForTests({});
        lf_clearTrafficTables();
        setTrafficAccepting(false);
        LogFixture::TearDown();
    }
};

TEST_F(DiscardLines, FirstDropThenOneCountAMinute) {
    using namespace std::chrono_literals;
    auto now = std::chrono::steady_clock::time_point{};
    setDiscardClockForTests([&now] { return now; });
    lf_clearTrafficTables();
    setTrafficAccepting(true);
    for (std::uint32_t k = 0; k < kAddingStackLimit; ++k) {
        ASSERT_TRUE(gf_pushTrafficReport(reportOf(10001 + k)));
    }
    const std::string first = "adding stack full, traffic reports discarded";
    // (seconds after the start of the spell, the line that drop writes)
    const std::vector<std::pair<std::chrono::seconds, std::string>> drops{
        {0s, first}, {30s, ""}, {61s, "2 traffic reports discarded in the last minute"}, {130s, first}};
    for (const auto& [at, line] : drops) {
        const std::size_t before = readLog().size();
        now = std::chrono::steady_clock::time_point{} + at;
        EXPECT_FALSE(gf_pushTrafficReport(reportOf(20001)));
        const auto log = readLog();
        EXPECT_EQ(log.size(), before + (line.empty() ? 0 : 1)) << at.count() << " s";
        if (!line.empty() && !log.empty()) {
            EXPECT_EQ(log.back(), line) << at.count() << " s";
        }
    }
}

TEST(SimRecords, CreationRequestCopiesKeepTheirValues) {
    AiCreateRequest request;
    request.position = {50.1, 8.6, 364.0, -2.5, 5.0, 90.0, 1, 0};
    request.callsign = "DLH123";
    request.livery = "Boeing 737-800 Lufthansa";
    request.hexid = 10042;
    const AiCreateRequest copy = request;
    EXPECT_EQ(copy.position.latitude, 50.1);
    EXPECT_EQ(copy.position.heading, 90.0);
    EXPECT_EQ(copy.position.onGround, 1U);
    EXPECT_EQ(copy.position.airspeed, 0U);
    EXPECT_EQ(copy.callsign, "DLH123");
    EXPECT_EQ(copy.livery, request.livery);
    EXPECT_NE(copy.livery.data(), request.livery.data()) << "each request owns its title";
    EXPECT_EQ(copy.hexid, 10042U);
}

} // namespace
} // namespace zeph
