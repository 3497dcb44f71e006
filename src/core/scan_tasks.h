#pragma once
#include <algorithm>
#include <chrono>
#include <cstddef>
#include <functional>
#include <future>
#include <memory>
#include <stdexcept>
#include <thread>
#include <type_traits>
#include <vector>

#include "core/run_flags.h"
#include "core/scan_throttle.h"

// The workers of the livery scan and of the add-on airport scan: a fixed set of joinable threads over the
// shared throttle (runningScanTasks, maxScanTasks). Starting a thread per file would cost more than reading
// a small file, and joinable threads cannot outlive the scan that owns them, unless the run stops while one
// of them hangs in the file system (a network share that no longer answers): the close must not wait for it.

namespace zeph {

// How often a wait for the scan's tasks looks at the stop flags, and how long a stop lets running tasks end
// before they are given up.
inline constexpr std::chrono::milliseconds kScanStopPoll{50};
inline constexpr std::chrono::milliseconds kScanStopGrace{500};

class ScanTaskPool {
public:
    // Starts max(1, maxScanTasks) threads.
    ScanTaskPool();
    // Waits until no task is queued or running, then joins: a task whose future was given up ends first. When
    // the run stops meanwhile, the tasks not started yet are dropped and the running ones get kScanStopGrace
    // to end; one still running then is given up: its place is given back at once, its thread is let go, and
    // what it does when it ends reaches nothing of a later scan (isScanTaskGivenUp).
    ~ScanTaskPool();
    ScanTaskPool(const ScanTaskPool&) = delete;
    ScanTaskPool& operator=(const ScanTaskPool&) = delete;

    // Queues one task; the caller has waited for a slot (gf_waitForTaskSlot). The task is counted in
    // runningScanTasks from here on, and its place is given back when it ends, on every way out, before its
    // future becomes ready.
    template <typename F> auto submit(F task) -> std::future<std::invoke_result_t<F>> {
        using R = std::invoke_result_t<F>;
        auto packaged = std::make_shared<std::packaged_task<R()>>(
            [held = Place(state_), fn = std::move(task)]() mutable -> R {
                const Place place(std::move(held));
                return fn();
            });
        std::future<R> future = packaged->get_future();
        enqueue([packaged] { (*packaged)(); });
        return future;
    }

    // True once no task is queued or running; false when that did not happen within the time or the run
    // stopped first.
    bool waitIdle(std::chrono::milliseconds timeout);

    std::size_t threadCount() const { return threads_.size(); }

private:
    struct State;

    // One task's place in runningScanTasks: taken when the task is queued, given back when it ends or is
    // dropped, unless its pool gave it back already when it gave the task up.
    class Place {
    public:
        explicit Place(std::shared_ptr<State> state);
        Place(Place&& other) noexcept;
        ~Place();
        Place(const Place&) = delete;
        Place& operator=(const Place&) = delete;
        Place& operator=(Place&&) = delete;

    private:
        std::shared_ptr<State> state_;
    };

    void enqueue(std::function<void()> job);
    static void work(std::shared_ptr<State> state, std::size_t index);
    void dropQueuedTasks();
    bool waitForRunningTasks();
    void giveUpRunningTasks();
    void endThreads(bool givenUp);

    std::shared_ptr<State> state_;
    std::vector<std::thread> threads_;
};

// True on a worker whose task its pool has given up: the task ends unseen, so what it would add to the
// scan's shared lists (report lines, scan-log lines, airport files) must be left out. Ask it under the lock
// that the scan's writer and reset take too, so that nothing slips in after them.
bool isScanTaskGivenUp();

// Whether the task's result is ready: waits at most timeout, and not past the run's stop (false then). A
// time-out throws std::runtime_error("Future wait timed out after 10 seconds").
template <typename R>
bool waitForTaskResult(const std::future<R>& future, std::chrono::milliseconds timeout) {
    using Clock = std::chrono::steady_clock;
    const auto until = Clock::now() + timeout;
    while (future.wait_for(std::chrono::seconds(0)) != std::future_status::ready) {
        if (runIsStopping()) {
            return false;
        }
        if (Clock::now() >= until) {
            throw std::runtime_error("Future wait timed out after 10 seconds");
        }
        future.wait_until(std::min(until, Clock::now() + kScanStopPoll));
    }
    return true;
}

} // namespace zeph
