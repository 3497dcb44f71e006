#pragma once
#include <cstdint>

namespace zeph::test {

// A TCP port on 127.0.0.1 that was free a moment ago: bound as port 0, read back, closed. Throws
// std::runtime_error when no socket can be had.
std::uint16_t freeLoopbackPort();

} // namespace zeph::test
