#include "core/scan_tasks.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <deque>
#include <mutex>

namespace zeph {

// Shared by the pool and its threads, so a thread that the pool let go keeps what it works with.
struct ScanTaskPool::State {
    std::mutex mutex;
    std::condition_variable wake;    // a task queued, or the pool ends
    std::condition_variable changed; // a task ended, or a thread did
    std::deque<std::function<void()>> queue;
    std::size_t busy = 0;
    int places = 0; // places in runningScanTasks held by this pool's tasks
    bool stopping = false;
    std::atomic<bool> givenUp{false};
    std::vector<bool> running; // per thread: runs a task
    std::vector<bool> ended;   // per thread: has left its loop

    bool isIdle() const { return queue.empty() && busy == 0; }
};

namespace {

// The given-up mark of the pool whose worker this thread is, if it is one.
thread_local const std::atomic<bool>* givenUpMarkOfThisWorker = nullptr;

} // namespace

ScanTaskPool::Place::Place(std::shared_ptr<State> state) : state_(std::move(state)) {
    const std::lock_guard lock(state_->mutex);
    runningScanTasks.fetch_add(1);
    ++state_->places;
}

ScanTaskPool::Place::Place(Place&& other) noexcept : state_(std::move(other.state_)) {}

ScanTaskPool::Place::~Place() {
    if (!state_) {
        return;
    }
    const std::lock_guard lock(state_->mutex);
    if (!state_->givenUp.load()) {
        runningScanTasks.fetch_sub(1);
        --state_->places;
    }
}

ScanTaskPool::ScanTaskPool() : state_(std::make_shared<State>()) {
    const auto count = static_cast<std::size_t>(std::max(1, maxScanTasks.load(std::memory_order_relaxed)));
    state_->running.assign(count, false);
    state_->ended.assign(count, false);
    threads_.reserve(count);
    for (std::size_t i = 0; i < count; ++i) {
        threads_.emplace_back(&ScanTaskPool::work, state_, i);
    }
}

ScanTaskPool::~ScanTaskPool() {
    {
        std::unique_lock lock(state_->mutex);
        while (!state_->isIdle() && !runIsStopping()) {
            state_->changed.wait_for(lock, kScanStopPoll);
        }
    }
    // After a stop, tasks not started yet would only have their results dropped.
    dropQueuedTasks();
    const bool givenUp = !waitForRunningTasks();
    if (givenUp) {
        giveUpRunningTasks();
    }
    endThreads(givenUp);
}

void ScanTaskPool::dropQueuedTasks() {
    std::deque<std::function<void()>> dropped;
    {
        const std::lock_guard lock(state_->mutex);
        dropped.swap(state_->queue);
    }
    dropped.clear(); // gives their places back, which takes the lock
}

bool ScanTaskPool::waitForRunningTasks() {
    std::unique_lock lock(state_->mutex);
    return state_->changed.wait_for(lock, kScanStopGrace, [this] { return state_->isIdle(); });
}

void ScanTaskPool::giveUpRunningTasks() {
    const std::lock_guard lock(state_->mutex);
    state_->givenUp.store(true);
    runningScanTasks.fetch_sub(state_->places);
    state_->places = 0;
}

// Joins every thread that has left its loop; one that still runs a given-up task is let go and ends by
// itself when its task does.
void ScanTaskPool::endThreads(bool givenUp) {
    {
        const std::lock_guard lock(state_->mutex);
        state_->stopping = true;
    }
    state_->wake.notify_all();
    for (std::size_t i = 0; i < threads_.size(); ++i) {
        bool ended = true;
        if (givenUp) {
            std::unique_lock lock(state_->mutex);
            state_->changed.wait(lock, [&] { return state_->ended[i] || state_->running[i]; });
            ended = state_->ended[i];
        }
        if (ended) {
            threads_[i].join();
        } else {
            threads_[i].detach();
        }
    }
}

void ScanTaskPool::enqueue(std::function<void()> job) {
    {
        const std::lock_guard lock(state_->mutex);
        state_->queue.push_back(std::move(job));
    }
    state_->wake.notify_one();
}

bool ScanTaskPool::waitIdle(std::chrono::milliseconds timeout) {
    using Clock = std::chrono::steady_clock;
    const auto until = Clock::now() + timeout;
    std::unique_lock lock(state_->mutex);
    while (!state_->isIdle()) {
        if (runIsStopping() || Clock::now() >= until) {
            return false;
        }
        state_->changed.wait_until(lock, std::min(until, Clock::now() + kScanStopPoll));
    }
    return true;
}

// The state is held by value: a thread that its pool let go keeps it alive.
void ScanTaskPool::work(std::shared_ptr<State> state, std::size_t index) {
    givenUpMarkOfThisWorker = &state->givenUp;
    std::unique_lock lock(state->mutex);
    for (;;) {
        state->wake.wait(lock, [&] { return state->stopping || !state->queue.empty(); });
        if (state->queue.empty()) {
            break; // stopping, and nothing left
        }
        std::function<void()> job = std::move(state->queue.front());
        state->queue.pop_front();
        ++state->busy;
        state->running[index] = true;
        lock.unlock();
        job(); // a packaged task: whatever the task throws goes to its future
        job = nullptr;
        lock.lock();
        --state->busy;
        state->running[index] = false;
        state->changed.notify_all();
    }
    state->ended[index] = true;
    state->changed.notify_all();
}

bool isScanTaskGivenUp() { return givenUpMarkOfThisWorker != nullptr && givenUpMarkOfThisWorker->load(); }

} // namespace zeph
