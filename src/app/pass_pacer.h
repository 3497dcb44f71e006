#pragma once
#include <chrono>

// The main loop's 10 ms grid of passes on the steady clock. The pass that takes a pending one-second event
// pulls the grid to that moment; a pass that overran its slot makes the following passes start at once until
// the grid is reached again, so the pass count keeps in step with time.

namespace zeph {

// What the pacer needs of a clock: the steady clock in the program, a manual one in tests.
class PassClock {
public:
    using time_point = std::chrono::steady_clock::time_point;
    virtual ~PassClock() = default;
    virtual time_point now() = 0;
    // Returns once now() has reached tp.
    virtual void sleepUntil(time_point tp) = 0;
};

// The steady clock; sleeps again for what is left when woken early.
PassClock& steadyPassClock();

class PassPacer {
public:
    static constexpr std::chrono::milliseconds passPeriod{10};

    explicit PassPacer(PassClock& clock = steadyPassClock()) : clock_(clock) {}

    // The grid starts now.
    void anchor() { deadline_ = clock_.now(); }
    // The deadline moves on by one pass.
    void step() { deadline_ += passPeriod; }

    // Between two passes: sleeps until the deadline when at least one whole millisecond is left (less than
    // that is not slept); a pending one-second event (read, not taken) makes the deadline now; then the
    // deadline moves on by one pass.
    void betweenPasses(bool oneSecondPending);

    PassClock::time_point deadline() const { return deadline_; }

private:
    PassClock& clock_;
    PassClock::time_point deadline_{};
};

} // namespace zeph
