#include "core/sleep_ms.h"

#include <algorithm>
#include <thread>

namespace zeph {

using SteadyClock = std::chrono::steady_clock;

SteadyClock::time_point sleepDeadline(SteadyClock::time_point now, std::int64_t milliseconds) {
    const auto room =
        std::chrono::duration_cast<std::chrono::milliseconds>(SteadyClock::time_point::max() - now);
    if (milliseconds >= room.count()) {
        return SteadyClock::time_point::max();
    }
    return now + std::chrono::milliseconds(milliseconds);
}

void gf_sleepMs(std::int64_t milliseconds) {
    if (milliseconds < 1) {
        return;
    }
    const auto deadline = sleepDeadline(SteadyClock::now(), milliseconds);
    while (SteadyClock::now() < deadline) {
        std::this_thread::sleep_until(deadline);
    }
}

bool sleepUnless(std::chrono::milliseconds time, const std::function<bool()>& stop) {
    const auto deadline = sleepDeadline(SteadyClock::now(), time.count());
    while (SteadyClock::now() < deadline) {
        if (stop()) {
            return false;
        }
        std::this_thread::sleep_until(
            std::min(deadline, SteadyClock::now() + std::chrono::milliseconds(100)));
    }
    // Asked once more after the last slice: a stop that came in it must not start what follows the wait.
    return !stop();
}

} // namespace zeph
