#pragma once
#include <ctime>
#include <initializer_list>
#include <mutex>
#include <vector>

namespace zeph::test {

// Installs itself as the program's clock: a fixed time, or a script of times that are returned one per
// reading (the last one repeats). The system clock comes back when it goes away.
class TestClock {
public:
    explicit TestClock(std::time_t fixed);
    TestClock(std::initializer_list<std::time_t> script);
    ~TestClock();
    TestClock(const TestClock&) = delete;
    TestClock& operator=(const TestClock&) = delete;

    void set(std::time_t fixed);
    int readings() const;

private:
    std::time_t next();

    mutable std::mutex mutex_;
    std::vector<std::time_t> script_;
    std::size_t position_ = 0;
    int readings_ = 0;
};

} // namespace zeph::test
