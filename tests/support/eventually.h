#pragma once
#include "support/slow_factor.h"

#include <chrono>
#include <thread>

namespace zeph::test {

// Polls until condition holds; false when it still does not after bound (five liveness bounds unless given).
template <class Condition>
bool eventually(Condition condition, std::chrono::milliseconds bound = kLivenessBound * 5) {
    const auto deadline = std::chrono::steady_clock::now() + bound;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return true;
}

} // namespace zeph::test
