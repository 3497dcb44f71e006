#include "support/test_clock.h"

#include "core/clock.h"

namespace zeph::test {

TestClock::TestClock(std::time_t fixed) : TestClock({fixed}) {}

TestClock::TestClock(std::initializer_list<std::time_t> script) : script_(script) {
    setClockForTests([this] { return next(); });
}

TestClock::~TestClock() { setClockForTests({}); }

void TestClock::set(std::time_t fixed) {
    std::lock_guard lock(mutex_);
    script_ = {fixed};
    position_ = 0;
}

int TestClock::readings() const {
    std::lock_guard lock(mutex_);
    return readings_;
}

std::time_t TestClock::next() {
    std::lock_guard lock(mutex_);
    ++readings_;
    std::time_t t = script_[position_];
    if (position_ + 1 < script_.size()) {
        ++position_;
    }
    return t;
}

} // namespace zeph::test
