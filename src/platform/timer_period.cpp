#include "platform/timer_period.h"

#include <sys/prctl.h>

namespace zeph {

namespace {

constexpr long oneMillisecondNs = 1'000'000;

} // namespace

long currentTimerSlackNs() {
    const int slack = prctl(PR_GET_TIMERSLACK, 0, 0, 0, 0);
    return slack < 0 ? -1 : static_cast<long>(slack);
}

TimerPeriodScope::TimerPeriodScope() {
    const long slack = currentTimerSlackNs();
    if (slack > oneMillisecondNs &&
        prctl(PR_SET_TIMERSLACK, static_cast<unsigned long>(oneMillisecondNs), 0, 0, 0) == 0) {
        previousSlackNs_ = slack;
    }
}

TimerPeriodScope::~TimerPeriodScope() {
    if (previousSlackNs_ > 0) {
        prctl(PR_SET_TIMERSLACK, static_cast<unsigned long>(previousSlackNs_), 0, 0, 0);
    }
}

} // namespace zeph
