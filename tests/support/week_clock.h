#pragma once
#include <cstdint>
#include <ctime>

#include "core/half_hours.h"
#include "state/run_state.h"
#include "support/test_clock.h"

// The program's week slot and its clock moved together: currentWeekSlot says the slot, and the test clock
// (hence nowSystemTicks) the start of that half hour in the week of Monday 2024-01-01. Stepping goes on in
// time and wraps the slot from Sunday 23:30 to Monday 00:00, as a running program sees it.

namespace zeph::test {

class WeekClock {
public:
    explicit WeekClock(WeekSlot start) : previous_(currentWeekSlot.load()), clock_(timeOf(start)) {
        set(start);
    }
    ~WeekClock() { currentWeekSlot.store(previous_); }
    WeekClock(const WeekClock&) = delete;
    WeekClock& operator=(const WeekClock&) = delete;

    void set(WeekSlot slot) {
        time_ = timeOf(slot);
        publish();
    }
    void stepHalfHours(int count) {
        time_ += static_cast<std::time_t>(count) * halfHour;
        publish();
    }
    WeekSlot now() const {
        const std::time_t sinceMonday = (time_ - mondayStart) % week;
        return WeekSlot{static_cast<std::uint32_t>(sinceMonday / day + 1),
                        static_cast<std::uint32_t>(sinceMonday % day / halfHour)};
    }
    std::time_t time() const { return time_; }

private:
    static constexpr std::time_t mondayStart = 1704067200; // 2024-01-01 00:00:00 UTC, a Monday
    static constexpr std::time_t halfHour = 1800;
    static constexpr std::time_t day = 48 * halfHour;
    static constexpr std::time_t week = 7 * day;

    static std::time_t timeOf(WeekSlot slot) {
        return mondayStart + static_cast<std::time_t>(slot.day - 1) * day +
               static_cast<std::time_t>(slot.slot) * halfHour;
    }
    void publish() {
        clock_.set(time_);
        currentWeekSlot.store(now().packed());
    }

    std::uint64_t previous_;
    TestClock clock_;
    std::time_t time_ = mondayStart;
};

} // namespace zeph::test
