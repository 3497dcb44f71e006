// QNH datagrams from the network: whatever arrives, the QNH handed to the traffic engine and the display
// stays within 900 to 1100 hPa, and nothing escapes the handler.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "realtraffic/qnh.h"
#include "state/main_window_state.h"

namespace {

bool inBounds(std::int32_t qnh) { return qnh >= 900 && qnh <= 1100; }

// 0 until the first QNH is taken.
bool unsetOrInBounds(std::int32_t qnh) { return qnh == 0 || inBounds(qnh); }

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace zeph;
    // The reader's buffer holds less than 16384 bytes, followed by a NUL.
    if (size >= UdpReader::kBufferSize) {
        return 0;
    }
    std::copy(data, data + size, qnhReader.buffer.begin());
    qnhReader.buffer[size] = '\0';
    qnhReader.onDatagram(std::string_view(qnhReader.buffer.data(), size));
    if (!inBounds(currentQnh.load()) || !unsetOrInBounds(qnhReader.lastQnh.load()) ||
        !unsetOrInBounds(mainWindowState.qnh.load())) {
        std::abort();
    }
    return 0;
}
