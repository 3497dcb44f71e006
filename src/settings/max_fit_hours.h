#pragma once
#include <cstdint>

namespace zeph {

// The Max fit level (half hours, MAX_FIT) as the hours the window shows in MAX_FIT_FL.
float lf_maxFitHours(std::int32_t level);

} // namespace zeph
