#pragma once
#include <atomic>
#include <cstdint>

#include "realtraffic/udp_readers.h"

// The QNH from RealTraffic's weather datagrams. A minimal stand-in until the RealTraffic link lands.

namespace zeph {

class QnhReader final : public UdpReader {
public:
    void onDatagram(std::string_view /*datagram*/) override {}
    std::atomic<std::int32_t> lastQnh{0}; // hPa; 1013 after the reader reset
};

// The current QNH, hPa.
extern std::atomic<std::int32_t> currentQnh;

} // namespace zeph
