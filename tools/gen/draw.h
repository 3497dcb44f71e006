#pragma once
#include <cstddef>
#include <cstdint>
#include <random>

namespace zeph::gen {

// Numbers for generated trees. mt19937's numbers are the same everywhere; the library's distributions are
// not, so the same seed gives the same tree on every machine.
struct Draw {
    std::mt19937 engine;
    std::uint32_t below(std::size_t n) { return static_cast<std::uint32_t>(engine() % n); }
    std::uint32_t between(std::uint32_t low, std::uint32_t high) { return low + engine() % (high - low + 1); }
    bool chance(double share) { return engine() < share * 4294967296.0; }
};

} // namespace zeph::gen
