#include "core/scan_throttle.h"

#include <algorithm>
#include <chrono>
#include <thread>

#include "core/run_flags.h"

namespace zeph {

namespace {
int hardwareThreads() { return std::max(1, static_cast<int>(std::thread::hardware_concurrency())); }
} // namespace

std::atomic<int> runningScanTasks{0};
// Relaxed: it is written before the workers start; atomic only so that no reader can race a late write.
std::atomic<int> maxScanTasks{hardwareThreads()};

bool gf_waitForTaskSlot() {
    using Clock = std::chrono::steady_clock;
    while (runningScanTasks.load() >= std::max(1, maxScanTasks.load(std::memory_order_relaxed))) {
        if (runIsStopping()) {
            return false;
        }
        const auto until = Clock::now() + std::chrono::microseconds(10);
        while (Clock::now() < until) {
            std::this_thread::sleep_until(until);
        }
    }
    return true;
}

ScanTaskGuard::ScanTaskGuard() { runningScanTasks.fetch_add(1); }

ScanTaskGuard::~ScanTaskGuard() {
    if (holds_) {
        runningScanTasks.fetch_sub(1);
    }
}

ScanTaskGuard::ScanTaskGuard(ScanTaskGuard&& other) noexcept : holds_(other.holds_) { other.holds_ = false; }

} // namespace zeph
