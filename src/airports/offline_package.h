#pragma once
#include <atomic>
#include <cstdint>

namespace zeph {

// Airports to be learned offline that have been zipped into tblo.zip; the window asks for the mail while it is
// not 0.
inline std::atomic<std::int32_t> offlineLearningCount{0};

} // namespace zeph
