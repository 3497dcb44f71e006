#include "core/run_flags.h"
#include "core/scan_tasks.h"
#include "core/scan_throttle.h"

#include <chrono>
#include <future>
#include <stdexcept>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "support/slow_factor.h"

namespace zeph {
namespace {

using namespace std::chrono_literals;

const auto kLiveness = test::kLivenessBound;

void resetThrottle(int limit) {
    maxScanTasks.store(limit);
    runningScanTasks.store(0);
}

// Waits until check() holds or the liveness bound has passed; the result is check()'s last answer.
template <typename Check> bool eventually(Check check) {
    const auto deadline = std::chrono::steady_clock::now() + kLiveness;
    while (!check() && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(1ms);
    }
    return check();
}

void updateMaximum(std::atomic<int>& maximum, int value) {
    int seen = maximum.load();
    while (value > seen && !maximum.compare_exchange_weak(seen, value)) {
    }
}

TEST(ScanThrottleThreads, NeverMoreThanTheLimitAndEveryTaskFinishes) {
    struct Case {
        int limit;
        int tasks;
    };
    for (const Case& item : {Case{4, 16}, Case{1, 5}}) {
        SCOPED_TRACE("limit " + std::to_string(item.limit) + ", " + std::to_string(item.tasks) + " tasks");
        resetThrottle(item.limit);
        std::atomic<int> active{0};
        std::atomic<int> mostActive{0};
        std::atomic<int> mostCounted{0};
        std::atomic<int> finished{0};
        std::vector<std::jthread> tasks;
        for (int i = 0; i < item.tasks; ++i) {
            gf_waitForTaskSlot();
            ScanTaskGuard slot;
            updateMaximum(mostCounted, runningScanTasks.load());
            tasks.emplace_back(
                [&](ScanTaskGuard held) {
                    (void)held;
                    updateMaximum(mostActive, ++active);
                    std::this_thread::sleep_for(20ms);
                    --active;
                    ++finished;
                },
                std::move(slot));
        }
        tasks.clear();
        EXPECT_EQ(mostCounted.load(), item.limit);
        EXPECT_LE(mostActive.load(), item.limit);
        EXPECT_EQ(finished.load(), item.tasks);
        EXPECT_EQ(runningScanTasks.load(), 0);
    }
}

TEST(ScanThrottleThreads, ThrowingTaskFreesItsSlot) {
    resetThrottle(1);
    gf_waitForTaskSlot();
    auto result = std::async(
        std::launch::async,
        [](ScanTaskGuard held) {
            (void)held;
            throw std::runtime_error("unreadable aircraft.cfg");
        },
        ScanTaskGuard{});
    result.wait();
    // The future still holds the task's state: the slot must be free already.
    EXPECT_EQ(runningScanTasks.load(), 0);
    EXPECT_THROW(result.get(), std::runtime_error);
    std::future<bool> waiter = std::async(std::launch::async, gf_waitForTaskSlot);
    EXPECT_EQ(waiter.wait_for(kLiveness), std::future_status::ready);
}

TEST(ScanThrottleThreads, WaitReturnsAfterATaskEnds) {
    resetThrottle(4);
    std::atomic<int> step{0};
    std::atomic<int> taskEndedAt{0};
    std::atomic<int> waiterPassedAt{0};
    std::promise<void> releaseOne;
    std::shared_future<void> released = releaseOne.get_future().share();
    std::atomic<bool> releaseAll{false};
    std::vector<std::jthread> workers;
    for (int i = 0; i < 4; ++i) {
        workers.emplace_back(
            [&, i](ScanTaskGuard held) {
                (void)held;
                if (i == 0) {
                    released.wait();
                    taskEndedAt = ++step; // the slot is freed right after this, when held goes
                    return;
                }
                while (!releaseAll) {
                    std::this_thread::sleep_for(1ms);
                }
            },
            ScanTaskGuard{});
    }
    std::jthread waiter([&] {
        gf_waitForTaskSlot();
        waiterPassedAt = ++step;
    });
    // Give a wrong early return a chance to show before a slot is freed.
    std::this_thread::sleep_for(50ms);
    EXPECT_EQ(waiterPassedAt.load(), 0) << "returned while four tasks ran";
    releaseOne.set_value();
    EXPECT_TRUE(eventually([&] { return waiterPassedAt.load() != 0; }));
    EXPECT_LT(taskEndedAt.load(), waiterPassedAt.load());
    EXPECT_EQ(runningScanTasks.load(), 3);
    releaseAll = true;
}

// Tasks hung in the file system may hold every place: the stop ends the wait for one.
TEST(ScanThrottleThreads, AStopEndsTheWaitForASlot) {
    resetThrottle(1);
    runningScanTasks.store(1);
    std::future<bool> waiter = std::async(std::launch::async, gf_waitForTaskSlot);
    userStopped.store(true);
    EXPECT_EQ(waiter.wait_for(kLiveness), std::future_status::ready);
    userStopped.store(false);
    runningScanTasks.store(0);
    EXPECT_FALSE(waiter.get());
}

TEST(ScanThrottleThreads, LimitBelowOneCountsAsOne) {
    for (int limit : {0, -3}) {
        SCOPED_TRACE("limit " + std::to_string(limit));
        resetThrottle(limit);
        std::future<bool> waiter = std::async(std::launch::async, gf_waitForTaskSlot);
        EXPECT_EQ(waiter.wait_for(kLiveness), std::future_status::ready);
    }
}

TEST(ScanThrottleThreads, MovedGuardHoldsOnePlace) {
    resetThrottle(4);
    {
        ScanTaskGuard first;
        ScanTaskGuard second = std::move(first);
        EXPECT_EQ(runningScanTasks.load(), 1);
        ScanTaskGuard third = std::move(second);
        EXPECT_EQ(runningScanTasks.load(), 1);
    }
    EXPECT_EQ(runningScanTasks.load(), 0);
}

// The pool: a task's place is given back before its future is ready, also when it throws; a future given
// up still lets its task end before the pool is gone.
TEST(ScanThrottleThreads, PoolTasksGiveBackTheirPlaceAndEndBeforeThePool) {
    resetThrottle(2);
    std::atomic<bool> lateEnded{false};
    {
        ScanTaskPool pool;
        EXPECT_EQ(pool.threadCount(), 2U);
        gf_waitForTaskSlot();
        std::future<int> good = pool.submit([] { return 7; });
        EXPECT_EQ(good.get(), 7);
        EXPECT_EQ(runningScanTasks.load(), 0);
        gf_waitForTaskSlot();
        std::future<int> bad = pool.submit([]() -> int { throw std::runtime_error("x"); });
        EXPECT_THROW(bad.get(), std::runtime_error);
        EXPECT_EQ(runningScanTasks.load(), 0);
        gf_waitForTaskSlot();
        (void)pool.submit([&] {
            std::this_thread::sleep_for(50ms);
            lateEnded.store(true);
        });
        EXPECT_FALSE(pool.waitIdle(1ms));
    }
    EXPECT_TRUE(lateEnded.load());
    EXPECT_EQ(runningScanTasks.load(), 0);
}

} // namespace
} // namespace zeph
