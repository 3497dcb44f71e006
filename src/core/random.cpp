#include "core/random.h"

namespace zeph {

std::mt19937& randomEngine() {
    // One engine per thread, so no draw takes a lock and no thread disturbs another's sequence.
    thread_local std::mt19937 engine{std::random_device{}()};
    return engine;
}

void seedThisThreadForTests(std::uint32_t seed) { randomEngine().seed(seed); }

double gf_randomVariation(double value, double percent) {
    // The draw comes first and always, so the engine advances the same whether or not there is a delta.
    const std::uint32_t draw = randomEngine()();
    const double delta = percent > 0 ? value * percent / 100 : 0.0;
    return (draw & 1U) == 0 ? value + delta : value - delta;
}

} // namespace zeph
