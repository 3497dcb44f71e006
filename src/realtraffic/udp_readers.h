#pragma once
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string_view>

// The two UDP readers of RealTraffic's datagrams, the Traffic Reader (port 49005) and the QNH Reader (port
// 49004), and the watchdog that shows whether they still receive. Minimal stand-ins until the RealTraffic
// link lands: the reader threads only wait for their stop flag.

namespace zeph {

// What both readers share.
class UdpReader {
public:
    virtual ~UdpReader() = default;
    UdpReader() = default;
    UdpReader(const UdpReader&) = delete;
    UdpReader& operator=(const UdpReader&) = delete;

    // One datagram received (the reader's thread); the bytes are followed by a NUL.
    virtual void onDatagram(std::string_view datagram) = 0;
    // The receive loop ended without an error.
    virtual void onStopped() {}

    std::atomic<bool> stopFlag{false};             // ends the receive loop
    std::atomic<std::uint32_t> datagramCounter{0}; // datagrams received
    std::atomic<std::uint32_t> counterSnapshot{0}; // the counter at the previous watchdog run
};

class TrafficReader;
class QnhReader;
extern TrafficReader trafficReader;
extern QnhReader qnhReader;

// True while the watchdog shows the reader as receiving.
extern std::atomic<bool> trafficReaderLive;
extern std::atomic<bool> qnhReaderLive;

// The UDP ports the main loop starts the readers on. Not a setting: nothing in the program writes it.
struct RealTrafficUdpPorts {
    std::uint16_t traffic = 49005;
    std::uint16_t qnh = 49004;
};
extern RealTrafficUdpPorts realTrafficUdpPorts;

// The reader threads; each returns once its reader's stop flag is set.
void lf_trafficReaderThread(std::uint16_t port);
void lf_qnhReaderThread(std::uint16_t port);

// The watchdog: the reader states from their datagram counters.
void lf_checkReaderActivity();

// The reader reset: last report time 0, seen callsigns emptied, stop flags cleared, both live, the QNH
// Reader's last QNH 1013 and its counter and snapshot 0. The Traffic Reader's counter is left.
void gf_resetReaders();

} // namespace zeph
