#include "core/clock.h"

#include <atomic>
#include <chrono>
#include <mutex>
#include <utility>

namespace zeph {

namespace {

std::mutex testClockMutex;
std::function<std::time_t()> testClock;
std::atomic<bool> testClockSet{false};
std::atomic<TrafficClockSource*> trafficSource{nullptr};

} // namespace

std::time_t nowUtc() {
    if (testClockSet.load(std::memory_order_acquire)) {
        std::lock_guard lock(testClockMutex);
        if (testClock) {
            return testClock();
        }
    }
    return std::time(nullptr);
}

void setClockForTests(std::function<std::time_t()> clock) {
    std::lock_guard lock(testClockMutex);
    testClock = std::move(clock);
    testClockSet.store(static_cast<bool>(testClock), std::memory_order_release);
}

std::int64_t nowSystemTicks() {
    constexpr std::int64_t kTicksPerSecond = 10'000'000;
    if (testClockSet.load(std::memory_order_acquire)) {
        return static_cast<std::int64_t>(nowUtc()) * kTicksPerSecond;
    }
    using Ticks = std::chrono::duration<std::int64_t, std::ratio<1, kTicksPerSecond>>;
    return std::chrono::duration_cast<Ticks>(std::chrono::system_clock::now().time_since_epoch()).count();
}

void setTrafficClockSource(TrafficClockSource* source) { trafficSource.store(source); }

TrafficClockSource* trafficClockSource() { return trafficSource.load(); }

} // namespace zeph
