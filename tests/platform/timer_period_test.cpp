#include "platform/timer_period.h"

#include <stdexcept>

#include <gtest/gtest.h>

#include <sys/prctl.h>

namespace zeph {
namespace {

constexpr long ms = 1'000'000;

void setSlack(long ns) { ASSERT_EQ(prctl(PR_SET_TIMERSLACK, static_cast<unsigned long>(ns), 0, 0, 0), 0); }

TEST(TimerPeriodScope, MakesTheSlackAtMostOneMillisecondAndRestoresIt) {
    struct Case {
        const char* name;
        long before;
        long inside;
        bool throwInside;
    };
    const Case cases[] = {
        {"2 ms lowered, restored", 2 * ms, 1 * ms, false},
        {"2 ms lowered, restored by an exception", 2 * ms, 1 * ms, true},
        {"exactly 1 ms kept", 1 * ms, 1 * ms, false},
        {"50 us kept, finer than asked", 50'000, 50'000, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        setSlack(c.before);
        try {
            const TimerPeriodScope scope;
            EXPECT_EQ(currentTimerSlackNs(), c.inside);
            if (c.throwInside) {
                throw std::runtime_error("leaves the scope");
            }
        } catch (const std::runtime_error&) {
        }
        EXPECT_EQ(currentTimerSlackNs(), c.before);
    }
}

} // namespace
} // namespace zeph
