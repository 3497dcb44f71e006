#pragma once

// The 1 ms timer resolution that the main loop and the simulator link's client thread ask for while they
// run: the calling thread's timer slack is made at most 1 ms, and the previous slack comes back when the
// scope ends, also when an exception leaves it. A finer slack than 1 ms (Linux's default is 50 us) is kept.

namespace zeph {

class TimerPeriodScope {
public:
    TimerPeriodScope();
    ~TimerPeriodScope();
    TimerPeriodScope(const TimerPeriodScope&) = delete;
    TimerPeriodScope& operator=(const TimerPeriodScope&) = delete;

private:
    long previousSlackNs_ = -1; // -1: nothing changed, nothing to restore
};

// The calling thread's timer slack in nanoseconds; -1 when it cannot be read.
long currentTimerSlackNs();

} // namespace zeph
