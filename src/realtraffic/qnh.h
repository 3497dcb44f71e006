#pragma once
#include <atomic>
#include <cstdint>
#include <string_view>

#include "realtraffic/udp_readers.h"

// The QNH from RealTraffic's weather datagrams: one JSON object whose member "QNH" is read, brought into
// hectopascals within 900 to 1100 and published to the traffic engine and the "qnh:" display.

namespace zeph {

class QnhReader final : public UdpReader {
public:
    void onDatagram(std::string_view datagram) override;
    // "QNH Reader has stopped"; the display state stays as it was.
    void onStopped() override;

    std::atomic<std::int32_t> lastQnh{0}; // hPa; 1013 after the reader reset
};

// The QNH Reader's datagram handler. Lets no std::exception out: every unreadable datagram gives one capped,
// escaped log line and the QNH stays.
void lf_onQnhDatagram(QnhReader& reader, std::string_view datagram);

// The current QNH, hPa; 1013 until RealTraffic's weather arrives and after each run.
extern std::atomic<std::int32_t> currentQnh;

} // namespace zeph
