#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <map>
#include <thread>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "realtraffic/report_queue.h"
#include "support/slow_factor.h"
#include "traffic/traffic_tables.h"

namespace zeph {
namespace {

constexpr int kPushers = 4;
// Below the stack's bound in all, so no push is refused for a full stack however slowly the drain runs.
constexpr int kReportsPerPusher = 1400;
static_assert(static_cast<std::size_t>(kPushers * kReportsPerPusher) < kAddingStackLimit);

class AddingStackThreads : public ::testing::Test {
protected:
    void SetUp() override {
        lf_clearTrafficTables();
        tickCounter = 0;
        setTrafficAccepting(true);
    }
    void TearDown() override {
        setTrafficAccepting(false);
        lf_clearTrafficTables();
        tickCounter = 0;
    }
};

// Four readers push while the traffic side drains two reports a pass and counts its passes, as the traffic
// pass does: every report arrives exactly once, in each pusher's order, due at most 3000 passes after the
// pass it is taken in, and in the order of their due passes (the stack is first in, first out).
TEST_F(AddingStackThreads, ConcurrentPushesAllArriveOnceAndInOrder) {
    std::atomic<int> pushersDone{0};
    std::atomic<int> refused{0};
    std::vector<std::jthread> pushers;
    for (int p = 0; p < kPushers; ++p) {
        pushers.emplace_back([p, &pushersDone, &refused] {
            for (int i = 0; i < kReportsPerPusher; ++i) {
                TrafficReport report;
                report.hexid = static_cast<std::uint32_t>(10001 + p);
                report.reportTime = i;
                if (!gf_pushTrafficReport(std::move(report))) {
                    refused.fetch_add(1);
                }
            }
            pushersDone.fetch_add(1);
        });
    }

    std::map<std::uint32_t, std::vector<double>> received;
    std::int64_t lastDue = 0;
    bool dueOutOfOrder = false;
    bool duePassBeyondClock = false;
    const auto deadline = std::chrono::steady_clock::now() + 10 * test::kLivenessBound;
    for (;;) {
        const bool allPushed = pushersDone.load() == kPushers;
        std::size_t left = 0;
        {
            const std::lock_guard lock(addingStackMutex);
            for (int n = 0; n < 2 && !addingStack.empty(); ++n) {
                const TrafficReport& report = addingStack.front();
                received[report.hexid].push_back(report.reportTime);
                const std::int64_t due = report.position.duePass;
                duePassBeyondClock = duePassBeyondClock || due - tickCounter.load() > 3000;
                dueOutOfOrder = dueOutOfOrder || due < lastDue;
                lastDue = due;
                addingStack.pop_front();
            }
            left = addingStack.size();
        }
        ++tickCounter;
        if (allPushed && left == 0) {
            break;
        }
        ASSERT_LT(std::chrono::steady_clock::now(), deadline) << "the stack was never drained";
    }
    pushers.clear();

    EXPECT_EQ(refused.load(), 0);
    EXPECT_FALSE(duePassBeyondClock) << "a due pass ahead of the clock's pass + 3000";
    EXPECT_FALSE(dueOutOfOrder) << "the stack did not keep the order of the due passes";
    ASSERT_EQ(received.size(), static_cast<std::size_t>(kPushers));
    for (const auto& [hexid, times] : received) {
        ASSERT_EQ(times.size(), static_cast<std::size_t>(kReportsPerPusher)) << "hexid " << hexid;
        for (int i = 0; i < kReportsPerPusher; ++i) {
            ASSERT_EQ(times[static_cast<std::size_t>(i)], i) << "hexid " << hexid << " report " << i;
        }
    }
    const std::lock_guard lock(addingStackMutex);
    EXPECT_TRUE(addingStack.empty());
}

// Switching the intake off while readers push: each report is either on the stack or refused, never lost.
TEST_F(AddingStackThreads, SwitchingOffWhilePushingLosesNoCount) {
    std::atomic<int> taken{0};
    std::atomic<int> refusedCount{0};
    std::atomic<bool> start{false};
    std::vector<std::jthread> pushers;
    for (int p = 0; p < kPushers; ++p) {
        pushers.emplace_back([p, &taken, &refusedCount, &start] {
            while (!start.load()) {
                std::this_thread::yield();
            }
            for (int i = 0; i < kReportsPerPusher; ++i) {
                TrafficReport report;
                report.hexid = static_cast<std::uint32_t>(10001 + p);
                (gf_pushTrafficReport(std::move(report)) ? taken : refusedCount).fetch_add(1);
            }
        });
    }
    start.store(true);
    std::size_t drained = 0;
    for (int pass = 0; pass < 200; ++pass) {
        const std::lock_guard lock(addingStackMutex);
        for (int n = 0; n < 2 && !addingStack.empty(); ++n) {
            addingStack.pop_front();
            ++drained;
        }
    }
    setTrafficAccepting(false);
    pushers.clear();

    EXPECT_EQ(taken.load() + refusedCount.load(), kPushers * kReportsPerPusher);
    const std::lock_guard lock(addingStackMutex);
    EXPECT_EQ(drained + addingStack.size(), static_cast<std::size_t>(taken.load()));
}

} // namespace
} // namespace zeph
