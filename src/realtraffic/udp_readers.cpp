#include "realtraffic/udp_readers.h"

#include <chrono>
#include <exception>
#include <stdexcept>

#include <fmt/format.h>

#include "core/log.h"
#include "core/run_flags.h"
#include "realtraffic/qnh.h"
#include "realtraffic/traffic_reader.h"
#include "realtraffic/winsock_errors.h"
#include "state/exit_reason.h"
#include "state/main_window_state.h"

namespace zeph {

TrafficReader trafficReader;
QnhReader qnhReader;
std::atomic<bool> realTrafficOnThisPc{false};
std::atomic<bool> trafficReaderLive{true};
std::atomic<bool> qnhReaderLive{true};
RealTrafficUdpPorts realTrafficUdpPorts;

namespace {

// The wait for a datagram; it also bounds how long a reader takes to notice its stop flag.
constexpr std::chrono::milliseconds kReceiveSlice{1000};

std::string lastErrorText() { return gf_winsockErrorText(lastSocketError()); }

void closeSocket(UdpReader& reader) {
    if (reader.socket.isOpen()) {
        reader.socket.close();
    }
    reader.noteClosed();
}

// Drop oversize datagrams: a sender on the network must not stop the reader, nor flood the log.
void logOverrun(UdpReader& reader, std::int64_t length) {
    if (runIsStopping()) {
        return;
    }
    reader.logInputError(fmt::format("buffer overrun: {} bytes", length), gf_logText);
}

// One datagram that fits the buffer: counted, then handed on unless it repeats the previous one while
// RealTraffic runs on another PC (it then sends every line to the whole network, often twice).
void handleDatagram(UdpReader& reader, std::size_t length, bool onThisPc) {
    reader.buffer[length] = '\0';
    const std::string_view datagram(reader.buffer.data(), length);
    reader.datagramCounter.fetch_add(1);
    if (!onThisPc) {
        if (datagram == reader.lastDatagram) {
            return;
        }
        reader.lastDatagram.assign(datagram);
    }
    reader.onDatagram(datagram);
}

void receiveOne(UdpReader& reader, bool onThisPc) {
    const std::int64_t n = reader.socket.receive(reader.buffer.data(), UdpReader::kBufferSize);
    if (n < 0) {
        throw std::runtime_error(fmt::format("receive error: {}", lastErrorText()));
    }
    if (n == 0) {
        return;
    }
    if (static_cast<std::uint64_t>(n) >= UdpReader::kBufferSize) {
        logOverrun(reader, n);
        return;
    }
    handleDatagram(reader, static_cast<std::size_t>(n), onThisPc);
}

// Writes the count of error lines the cap held back, so the log tells how much it did not show.
void logHeldBackLines(UdpReader& reader) {
    if (const auto line = reader.errorLines().takeHeldBack()) {
        gf_logText(*line);
    }
}

struct ReaderWatch {
    UdpReader& reader;
    std::atomic<std::int32_t>& state;
    std::atomic<bool>& live;
};

void checkActivity(const ReaderWatch& watch) {
    const std::uint32_t counter = watch.reader.datagramCounter.load();
    const std::uint32_t previous = watch.reader.counterSnapshot.exchange(counter);
    if (counter == previous) {
        watch.state.store(2);
        invalidateTopPanel();
        watch.live.store(false);
    } else if (!watch.live.load() || watch.state.load() == 2) {
        // The reader reset of RealTraffic's going marks a reader live while its light still shows silence.
        watch.live.store(true);
        watch.state.store(1);
        invalidateTopPanel();
    }
}

} // namespace

void UdpReader::logInputError(std::string_view line, void (*writer)(std::string_view)) {
    const InputLogLimit::Admission admission = errorLines_.admit();
    if (admission.heldBack) {
        gf_logText(*admission.heldBack);
    }
    if (admission.write) {
        writer(line);
    }
}

std::string UdpReader::boundAddress() const {
    const std::lock_guard lock(boundMutex_);
    return boundAddress_;
}

void UdpReader::noteBound() {
    {
        const std::lock_guard lock(boundMutex_);
        boundAddress_ = socket.boundAddress();
    }
    boundPort_.store(socket.boundPort());
}

void UdpReader::noteClosed() {
    boundPort_.store(0);
    const std::lock_guard lock(boundMutex_);
    boundAddress_.clear();
}

void lf_startWinsock(UdpReader& /*reader*/) {
    if (const int result = socketLayerStartup(); result != 0) {
        throw std::runtime_error(fmt::format("WSA startup error: {}", result));
    }
}

void lf_createSocket(UdpReader& reader) {
    if (!reader.socket.open()) {
        throw std::runtime_error(fmt::format("failed to create the socket, error: {}", lastErrorText()));
    }
}

// Only this PC may send while RealTraffic runs here; otherwise RealTraffic sends from the network.
void lf_bindSocket(UdpReader& reader, std::uint16_t port) {
    if (!reader.socket.bind(realTrafficOnThisPc.load(), port)) {
        throw std::runtime_error(fmt::format("bind to stream socket failed, error: {}", lastErrorText()));
    }
    reader.noteBound();
}

void lf_receiveLoop(UdpReader& reader) {
    const bool onThisPc = realTrafficOnThisPc.load();
    // Each run starts afresh, the QNH at 1013: the previous run's last datagram must not make RealTraffic's
    // unchanged weather count as a repeat.
    reader.lastDatagram.clear();
    // The end of the program ends the reader too, whoever forgot its flag.
    while (!reader.stopFlag.load() && !processEnding.load()) {
        switch (reader.socket.waitReadable(kReceiveSlice)) {
        case WaitResult::Failed:
            throw std::runtime_error(fmt::format("receive error: {}", lastErrorText()));
        case WaitResult::TimedOut:
            break;
        case WaitResult::Ready:
            receiveOne(reader, onThisPc);
            break;
        }
    }
    closeSocket(reader);
    reader.onStopped();
}

void lf_logReaderConnected(std::string_view name) { lf_logContinuation(fmt::format("{} connected", name)); }

void lf_logReaderDisconnected(std::string_view name) {
    lf_logContinuation(fmt::format("{} disconnected", name));
}

void lf_runReaderThread(UdpReader& reader, std::string_view name, std::uint16_t port,
                        std::initializer_list<std::atomic<std::int32_t>*> shownStates) {
    reader.errorLines() = InputLogLimit(std::string(name));
    try {
        lf_startWinsock(reader);
        lf_createSocket(reader);
        lf_bindSocket(reader, port);
        for (std::atomic<std::int32_t>* state : shownStates) {
            state->store(1);
            invalidateTopPanel();
        }
        lf_logReaderConnected(name);
        lf_receiveLoop(reader);
    } catch (const std::exception& e) {
        closeSocket(reader);
        socketLayerCleanup();
        logHeldBackLines(reader);
        gf_reportThreadStopped(name, e.what());
        lf_logReaderDisconnected(name);
        return;
    }
    closeSocket(reader);
    socketLayerCleanup();
    logHeldBackLines(reader);
    lf_logReaderDisconnected(name);
}

void lf_trafficReaderThread(std::uint16_t port) {
    lf_runReaderThread(trafficReader, "Traffic Reader", port,
                       {&mainWindowState.trafficReaderState, &mainWindowState.qnhReaderState});
}

void lf_qnhReaderThread(std::uint16_t port) {
    lf_runReaderThread(qnhReader, "QNH Reader", port, {&mainWindowState.qnhReaderState});
}

void lf_checkReaderActivity() {
    if (!mainWindowState.realTrafficConnected.load()) {
        return;
    }
    checkActivity({qnhReader, mainWindowState.qnhReaderState, qnhReaderLive});
    checkActivity({trafficReader, mainWindowState.trafficReaderState, trafficReaderLive});
}

void gf_resetReaders() {
    trafficReader.setLastReportTime(0.0);
    trafficReader.clearSeenCallsigns();
    trafficReader.stopFlag.store(false);
    trafficReaderLive.store(true);
    qnhReader.lastQnh.store(1013);
    qnhReader.stopFlag.store(false);
    qnhReader.datagramCounter.store(0);
    qnhReader.counterSnapshot.store(0);
    qnhReaderLive.store(true);
}

} // namespace zeph
