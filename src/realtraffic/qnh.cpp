#include "realtraffic/qnh.h"

namespace zeph {

std::atomic<std::int32_t> currentQnh{1013};

} // namespace zeph
