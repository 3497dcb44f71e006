#include "app/pass_pacer.h"

#include <thread>

namespace zeph {

namespace {

class SteadyPassClock final : public PassClock {
public:
    time_point now() override { return std::chrono::steady_clock::now(); }
    void sleepUntil(time_point tp) override {
        while (std::chrono::steady_clock::now() < tp) {
            std::this_thread::sleep_until(tp);
        }
    }
};

} // namespace

PassClock& steadyPassClock() {
    static SteadyPassClock clock;
    return clock;
}

void PassPacer::betweenPasses(bool oneSecondPending) {
    const auto remaining = std::chrono::duration_cast<std::chrono::milliseconds>(deadline_ - clock_.now());
    if (remaining.count() >= 1) {
        clock_.sleepUntil(deadline_);
    }
    if (oneSecondPending) {
        deadline_ = clock_.now();
    }
    step();
}

} // namespace zeph
