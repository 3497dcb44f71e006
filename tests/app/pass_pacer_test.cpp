#include "app/pass_pacer.h"

#include <chrono>
#include <vector>

#include <gtest/gtest.h>

namespace zeph {
namespace {

using namespace std::chrono_literals;
using std::chrono::microseconds;

// A clock that moves only when told to, or when the pacer sleeps; it records every sleep.
class ManualClock final : public PassClock {
public:
    time_point now() override { return now_; }
    void sleepUntil(time_point tp) override {
        sleeps.push_back(std::chrono::duration_cast<microseconds>(tp - now_));
        if (tp > now_) {
            now_ = tp;
        }
    }
    void advance(microseconds by) { now_ += by; }

    std::vector<microseconds> sleeps;

private:
    time_point now_{std::chrono::seconds(1000)};
};

TEST(PassPacer, SleepsOnlyWhenAWholeMillisecondIsLeft) {
    struct Case {
        const char* name;
        microseconds passTakes;
        bool sleeps;
    };
    const Case cases[] = {
        {"0.999 ms left: no sleep", 9001us, false},
        {"1.000 ms left: sleep to the deadline", 9000us, true},
        {"nothing left: no sleep", 10000us, false},
        {"overran: no sleep", 12000us, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ManualClock clock;
        PassPacer pacer(clock);
        pacer.anchor();
        pacer.step();
        const auto deadline = pacer.deadline();
        clock.advance(c.passTakes);
        pacer.betweenPasses(false);
        ASSERT_EQ(clock.sleeps.size(), c.sleeps ? 1U : 0U);
        if (c.sleeps) {
            EXPECT_EQ(clock.now(), deadline);
        }
        EXPECT_EQ(pacer.deadline(), deadline + 10ms);
    }
}

TEST(PassPacer, APendingSecondPullsTheGridToNow) {
    ManualClock clock;
    PassPacer pacer(clock);
    pacer.anchor();
    pacer.step();
    clock.advance(3000us); // 7 ms left: the pacer sleeps to the deadline first
    pacer.betweenPasses(true);
    EXPECT_EQ(pacer.deadline(), clock.now() + 10ms);

    clock.advance(15000us); // overran: the event is seen at once, no sleep
    const auto seenAt = clock.now();
    pacer.betweenPasses(true);
    EXPECT_EQ(pacer.deadline(), seenAt + 10ms);
    EXPECT_EQ(clock.sleeps.size(), 1U);
}

// A pass ending 25 ms past the next deadline: the next three passes start at once, then the grid is met
// again with a 5 ms sleep.
TEST(PassPacer, CatchesUpWithTheGridAfterAnOverrun) {
    ManualClock clock;
    PassPacer pacer(clock);
    pacer.anchor();
    pacer.step();
    clock.advance(35ms);
    int passesStartedAtOnce = 0;
    while (true) {
        pacer.betweenPasses(false);
        if (!clock.sleeps.empty()) {
            break;
        }
        ++passesStartedAtOnce;
    }
    EXPECT_EQ(passesStartedAtOnce, 3);
    ASSERT_EQ(clock.sleeps.size(), 1U);
    EXPECT_EQ(clock.sleeps[0], microseconds(5000));
}

} // namespace
} // namespace zeph
