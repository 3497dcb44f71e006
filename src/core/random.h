#pragma once
#include <cstdint>
#include <random>

namespace zeph {

// This thread's engine, seeded once from std::random_device on first use.
std::mt19937& randomEngine();

// Reseeds this thread's engine, so a test sees a known sequence.
void seedThisThreadForTests(std::uint32_t seed);

// value + or - value * percent / 100, the sign from one draw; RANDOM is not consulted.
double gf_randomVariation(double value, double percent);

} // namespace zeph
