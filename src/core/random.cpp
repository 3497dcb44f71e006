#include "core/random.h"

#include <algorithm>

#include "settings/parameter_table.h"

namespace zeph {

std::mt19937& randomEngine() {
    // One engine per thread, so no draw takes a lock and no thread disturbs another's sequence.
    thread_local std::mt19937 engine{std::random_device{}()};
    return engine;
}

void seedThisThreadForTests(std::uint32_t seed) { randomEngine().seed(seed); }

std::uint64_t gf_randomIndex(std::int64_t n) {
    if (!RANDOM.get() || n < 2) {
        return 0;
    }
    const std::uint64_t draw = randomEngine()();
    return draw % static_cast<std::uint64_t>(n);
}

void gf_shuffleList(std::vector<std::string>& list) {
    if (!RANDOM.get() || list.size() < 2) {
        return;
    }
    std::shuffle(list.begin(), list.end(), randomEngine());
}

double gf_randomVariation(double value, double percent) {
    // The draw comes first and always, so the engine advances the same whether or not there is a delta.
    const std::uint32_t draw = randomEngine()();
    const double delta = percent > 0 ? value * percent / 100 : 0.0;
    return (draw & 1U) == 0 ? value + delta : value - delta;
}

} // namespace zeph
