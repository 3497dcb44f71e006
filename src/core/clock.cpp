#include "core/clock.h"

#include <atomic>
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

void setTrafficClockSource(TrafficClockSource* source) { trafficSource.store(source); }

TrafficClockSource* trafficClockSource() { return trafficSource.load(); }

} // namespace zeph
