#pragma once
#include <cstdint>
#include <random>
#include <string>
#include <vector>

namespace zeph {

// This thread's engine, seeded once from std::random_device on first use.
std::mt19937& randomEngine();

// Reseeds this thread's engine, so a test sees a known sequence.
void seedThisThreadForTests(std::uint32_t seed);

// 0 to n - 1 at random while RANDOM is on and n >= 2; otherwise 0 without a draw.
std::uint64_t gf_randomIndex(std::int64_t n);

// Shuffles in place while RANDOM is on and the list has two entries or more; otherwise draws nothing.
void gf_shuffleList(std::vector<std::string>& list);

// value + or - value * percent / 100, the sign from one draw; RANDOM is not consulted.
double gf_randomVariation(double value, double percent);

} // namespace zeph
