#pragma once
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <future>
#include <memory>
#include <mutex>
#include <thread>
#include <type_traits>
#include <vector>

#include "core/scan_throttle.h"

// The workers of the livery scan and of the add-on airport scan: a fixed set of joinable threads over the
// shared throttle (runningScanTasks, maxScanTasks). Starting a thread per file would cost more than reading
// a small file, and joinable threads cannot outlive the scan that owns them.

namespace zeph {

class ScanTaskPool {
public:
    // Starts max(1, maxScanTasks) threads.
    ScanTaskPool();
    // Waits until no task is queued or running, then joins: a task whose future was given up ends first.
    ~ScanTaskPool();
    ScanTaskPool(const ScanTaskPool&) = delete;
    ScanTaskPool& operator=(const ScanTaskPool&) = delete;

    // Queues one task; the caller has waited for a slot (gf_waitForTaskSlot). The task is counted in
    // runningScanTasks from here on, and its place is given back when it ends, on every way out, before its
    // future becomes ready.
    template <typename F> auto submit(F task) -> std::future<std::invoke_result_t<F>> {
        using R = std::invoke_result_t<F>;
        auto packaged = std::make_shared<std::packaged_task<R()>>(
            [guard = ScanTaskGuard(), fn = std::move(task)]() mutable -> R {
                ScanTaskGuard place(std::move(guard));
                return fn();
            });
        std::future<R> future = packaged->get_future();
        enqueue([packaged] { (*packaged)(); });
        return future;
    }

    // True once no task is queued or running; false when that did not happen within the time.
    bool waitIdle(std::chrono::milliseconds timeout);

    std::size_t threadCount() const { return threads_.size(); }

private:
    void enqueue(std::function<void()> job);
    void work();

    std::mutex mutex_;
    std::condition_variable wake_;
    std::condition_variable idle_;
    std::deque<std::function<void()>> queue_;
    std::size_t busy_ = 0;
    bool stopping_ = false;
    std::vector<std::thread> threads_;
};

} // namespace zeph
