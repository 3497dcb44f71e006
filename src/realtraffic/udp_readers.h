#pragma once
#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <mutex>
#include <string>
#include <string_view>

#include "platform/sockets.h"
#include "realtraffic/input_log_limit.h"

// The two UDP readers of RealTraffic's datagrams, the Traffic Reader (port 49005) and the QNH Reader (port
// 49004), the receive loop they share, and the watchdog that shows whether they still receive.
//
// Threads: a reader's socket, buffer, repeat filter and error-line cap belong to its own thread. The stop
// flag, the counters and the bound port are atomics, because the traffic thread, the watchdog and tests read
// or write them while the reader runs.

namespace zeph {

// What both readers share: the socket, the receive buffer and the receive loop. A reader differs only in
// what it does with one datagram and with the end of its loop.
class UdpReader {
public:
    // A datagram must be shorter than this; one this long or longer is dropped.
    static constexpr std::size_t kBufferSize = 16384;

    UdpReader() = default;
    virtual ~UdpReader() = default;
    UdpReader(const UdpReader&) = delete;
    UdpReader& operator=(const UdpReader&) = delete;

    // One datagram received (the reader's thread); the bytes are followed by a NUL.
    virtual void onDatagram(std::string_view datagram) = 0;
    // The receive loop ended without an error.
    virtual void onStopped() {}

    std::atomic<bool> stopFlag{false};             // ends the receive loop
    std::atomic<std::uint32_t> datagramCounter{0}; // datagrams received (repeats too, oversize ones not)
    std::atomic<std::uint32_t> counterSnapshot{0}; // the counter at the previous watchdog run

    // The port the socket is bound to; 0 while the reader has no bound socket. Any thread.
    std::uint16_t boundPort() const { return boundPort_.load(); }
    // The address the socket is bound to, as getsockname gave it ("127.0.0.1", "0.0.0.0"); empty while the
    // reader has no bound socket. Any thread.
    std::string boundAddress() const;

    // The cap of this reader's error lines about outside input. Reader thread only; the thread renews it,
    // under the reader's name, each time it starts.
    InputLogLimit& errorLines() { return errorLines_; }
    // Writes a line about bad outside input through that cap, after the count of lines it held back, with
    // writer (gf_logText or gf_logLine). Reader thread only.
    void logInputError(std::string_view line, void (*writer)(std::string_view));

    // --- the reader thread's own state ---
    UdpSocket socket;
    std::array<char, kBufferSize> buffer{};
    // The repeat filter's copy while RealTraffic runs on another PC; emptied each time the loop starts.
    std::string lastDatagram;

    // The socket was bound (the port and address read back) or closed (both cleared).
    void noteBound();
    void noteClosed();

private:
    std::atomic<std::uint16_t> boundPort_{0};
    mutable std::mutex boundMutex_;
    std::string boundAddress_;
    InputLogLimit errorLines_{""};
};

class TrafficReader;
class QnhReader;
extern TrafficReader trafficReader;
extern QnhReader qnhReader;

// RealTraffic's program file lies on this PC: the readers then listen on 127.0.0.1 only, and the TCP server
// waits for RealTraffic. Set by the start-up thread at every run.
extern std::atomic<bool> realTrafficOnThisPc;

// True while the watchdog shows the reader as receiving.
extern std::atomic<bool> trafficReaderLive;
extern std::atomic<bool> qnhReaderLive;

// The UDP ports the main loop starts the readers on. Not a setting: nothing in the program writes it; tests
// set 0 to get free ports, read back through boundPort().
struct RealTrafficUdpPorts {
    std::uint16_t traffic = 49005;
    std::uint16_t qnh = 49004;
};
extern RealTrafficUdpPorts realTrafficUdpPorts;

// The reader threads; each returns once its reader's stop flag is set, or after an error, which ends the
// run with READER ERROR.
void lf_trafficReaderThread(std::uint16_t port);
void lf_qnhReaderThread(std::uint16_t port);

// The body both reader threads run, with the reader's name ("Traffic Reader", "QNH Reader") and the display
// states it marks as receiving once its socket is bound.
void lf_runReaderThread(UdpReader& reader, std::string_view name, std::uint16_t port,
                        std::initializer_list<std::atomic<std::int32_t>*> shownStates);

// The steps of the thread body. Each throws std::runtime_error with the message text on failure.
void lf_startWinsock(UdpReader& reader);
void lf_createSocket(UdpReader& reader);
void lf_bindSocket(UdpReader& reader, std::uint16_t port);
// Receives until the stop flag is set, then closes the socket and calls onStopped. Starts with an empty
// repeat filter.
void lf_receiveLoop(UdpReader& reader);

// "{} connected" and "{} disconnected" as continuation lines.
void lf_logReaderConnected(std::string_view name);
void lf_logReaderDisconnected(std::string_view name);

// The watchdog: the reader states from their datagram counters, while RealTraffic is shown as connected.
void lf_checkReaderActivity();

// The reader reset: last report time 0, seen callsigns emptied, stop flags cleared, both live, the QNH
// Reader's last QNH 1013 and its counter and snapshot 0. The Traffic Reader's counter is left.
void gf_resetReaders();

} // namespace zeph
