#pragma once
#include <algorithm>
#include <cstdint>
#include <vector>

#include "core/random.h"

// The random choices that the RANDOM setting switches on and off; the engine itself is core/random's.

namespace zeph {

// 0 to n - 1 at random while RANDOM is on and n >= 2; otherwise 0 without a draw.
std::uint64_t gf_randomIndex(std::int64_t n);

// Whether RANDOM is on.
bool randomChoicesOn();

// Shuffles in place while RANDOM is on and the list has two entries or more; otherwise draws nothing.
template <typename T> void gf_shuffleList(std::vector<T>& list) {
    if (list.size() < 2 || !randomChoicesOn()) {
        return;
    }
    std::shuffle(list.begin(), list.end(), randomEngine());
}

} // namespace zeph
