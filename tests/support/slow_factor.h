#pragma once
#include <chrono>

namespace zeph::test {

// Liveness bounds in tests are scaled by this: sanitizer builds run slower.
#ifdef CORVANE_SLOW_BUILD
inline constexpr double kSlowFactor = 2.5;
#else
inline constexpr double kSlowFactor = 1.0;
#endif

// The shortest liveness bound a test may use: 2 s, scaled.
inline constexpr std::chrono::milliseconds kLivenessBound{static_cast<long long>(2000 * kSlowFactor)};

} // namespace zeph::test
