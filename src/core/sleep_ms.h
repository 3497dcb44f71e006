#pragma once
#include <chrono>
#include <cstdint>
#include <functional>

namespace zeph {

// Sleeps on the steady clock until milliseconds have passed since the call; a count below 1 does not sleep.
// The deadline is taken once, so an early wake-up sleeps only for what is left.
void gf_sleepMs(std::int64_t milliseconds);

// Sleeps like gf_sleepMs, asking stop every 100 ms at most and once more when the time is up; false when stop
// said yes. A wait that a close must cut short.
bool sleepUnless(std::chrono::milliseconds time, const std::function<bool()>& stop);

// The deadline of gf_sleepMs for a call at now: now + milliseconds, or the clock's largest time point when
// that lies beyond the clock's range.
std::chrono::steady_clock::time_point sleepDeadline(std::chrono::steady_clock::time_point now,
                                                    std::int64_t milliseconds);

} // namespace zeph
