#include "core/scan_tasks.h"

#include <algorithm>

namespace zeph {

ScanTaskPool::ScanTaskPool() {
    const int count = std::max(1, maxScanTasks.load(std::memory_order_relaxed));
    threads_.reserve(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i) {
        threads_.emplace_back([this] { work(); });
    }
}

ScanTaskPool::~ScanTaskPool() {
    {
        std::unique_lock lock(mutex_);
        idle_.wait(lock, [this] { return queue_.empty() && busy_ == 0; });
        stopping_ = true;
    }
    wake_.notify_all();
    for (std::thread& thread : threads_) {
        thread.join();
    }
}

void ScanTaskPool::enqueue(std::function<void()> job) {
    {
        std::lock_guard lock(mutex_);
        queue_.push_back(std::move(job));
    }
    wake_.notify_one();
}

bool ScanTaskPool::waitIdle(std::chrono::milliseconds timeout) {
    std::unique_lock lock(mutex_);
    return idle_.wait_for(lock, timeout, [this] { return queue_.empty() && busy_ == 0; });
}

void ScanTaskPool::work() {
    std::unique_lock lock(mutex_);
    for (;;) {
        wake_.wait(lock, [this] { return stopping_ || !queue_.empty(); });
        if (queue_.empty()) {
            return; // stopping, and nothing left
        }
        std::function<void()> job = std::move(queue_.front());
        queue_.pop_front();
        ++busy_;
        lock.unlock();
        job(); // a packaged task: whatever the task throws goes to its future
        job = nullptr;
        lock.lock();
        --busy_;
        if (queue_.empty() && busy_ == 0) {
            idle_.notify_all();
        }
    }
}

} // namespace zeph
