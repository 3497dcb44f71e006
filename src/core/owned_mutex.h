#pragma once
#include <atomic>
#include <mutex>
#include <thread>

// A mutex that knows which thread holds it, so that code which must be called with the lock held can check
// it. It meets the Lockable requirements: std::lock_guard, std::unique_lock and std::try_to_lock work as
// with std::mutex.

namespace zeph {

class OwnedMutex {
public:
    OwnedMutex() = default;
    OwnedMutex(const OwnedMutex&) = delete;
    OwnedMutex& operator=(const OwnedMutex&) = delete;

    void lock() {
        mutex_.lock();
        owner_.store(std::this_thread::get_id(), std::memory_order_relaxed);
    }

    bool try_lock() {
        if (!mutex_.try_lock()) {
            return false;
        }
        owner_.store(std::this_thread::get_id(), std::memory_order_relaxed);
        return true;
    }

    void unlock() {
        owner_.store(std::thread::id{}, std::memory_order_relaxed);
        mutex_.unlock();
    }

    // Only the holder itself can see its own id here: another thread's answer may be stale, but it is never
    // true for a thread that does not hold the lock.
    bool heldByThisThread() const {
        return owner_.load(std::memory_order_relaxed) == std::this_thread::get_id();
    }

private:
    std::mutex mutex_;
    std::atomic<std::thread::id> owner_{};
};

} // namespace zeph
