#include "core/sleep_ms.h"

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

} // namespace zeph
