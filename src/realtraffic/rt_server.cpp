#include "realtraffic/rt_server.h"

#include <algorithm>
#include <chrono>
#include <limits>
#include <span>
#include <stdexcept>
#include <vector>

#include <fmt/format.h>
#include <nlohmann/json.hpp>

#include "core/geodesy.h"
#include "core/log.h"
#include "core/program.h"
#include "core/run_flags.h"
#include "core/time_text.h"
#include "platform/sockets.h"
#include "platform/tcp_connect.h"
#include "realtraffic/input_log_limit.h"
#include "realtraffic/udp_readers.h"
#include "realtraffic/winsock_errors.h"
#include "state/exit_reason.h"
#include "state/main_window_state.h"
#include "state/run_state.h"
#include "state/status_line.h"

namespace zeph {

std::atomic<bool> rtClientConnected{false};
std::atomic<bool> realTrafficAwaited{true};

namespace {

using namespace std::chrono_literals;

// What RealTraffic's going does to its traffic; registered from above at start.
std::atomic<LiveTrafficRemoval> liveTrafficRemoval{nullptr};

using Clock = std::chrono::steady_clock;

// A reply this long is not a version reply.
constexpr std::size_t replyLimit = 16384;
constexpr auto acceptSlice = 250ms;
constexpr auto replyQuiet = 500ms;
constexpr auto replyLimitTime = 5s;

TcpListener rtListener;
TcpStream rtClient;
// RealTraffic's edition was read from a version reply in this run.
bool editionLearned = false;

[[noreturn]] void failSetUp(const std::string& text) {
    rtListener.close();
    socketLayerCleanup();
    throw std::runtime_error(text);
}

std::string setUpFailureText(const TcpListener::OpenResult& result, std::string_view portText) {
    const std::string error = gf_winsockErrorText(result.error);
    switch (result.failedStep) {
    case TcpListener::Step::Resolve:
        return fmt::format("getaddrinfo failed with error {}", result.error);
    case TcpListener::Step::Socket:
        return "socket failed with error " + error;
    case TcpListener::Step::ReuseAddress:
        return "setsockopt(SO_REUSEADDR) failed";
    case TcpListener::Step::Bind:
        return fmt::format("Bind failed at port {} with error {}", portText, error);
    case TcpListener::Step::Listen:
    case TcpListener::Step::None:
        break;
    }
    return "listen failed with error " + error;
}

// The edition level of a reply object: 1 when missing. A level of another type than a number throws, so
// the reply counts as unreadable.
bool professionalLevel(const nlohmann::json& reply) {
    const auto level = reply.find("level");
    if (level == reply.end()) {
        return false;
    }
    if (level->is_number_float()) {
        return level->get<double>() == 2.0;
    }
    if (level->is_boolean()) {
        throw std::runtime_error("level is a boolean");
    }
    return level->get<std::int64_t>() == 2;
}

void setEdition(bool professional, std::string text) {
    rtProfessional.store(professional);
    mainWindowState.setRealTrafficVersionText(std::move(text));
}

// The version question and its reply.
void askVersion() {
    sendDataPacket("Qs999=version\r\n");
    lf_processRTVersion(gf_receiveFromRT());
}

void reconnected() {
    if (exitReason.load() != ExitReason::NOT_YET_SET || !waitForClient()) {
        return;
    }
    // The run's first connection may have been a RealTraffic that restarted at once, or another local
    // client: without the edition the run would miss the simulator time and RealTraffic's traffic clock. A
    // learned edition is not asked again, so a silent client cannot take it away.
    if (!editionLearned) {
        askVersion();
    }
    mainWindowState.realTrafficConnected.store(true);
    invalidateTopPanel();
    gf_setStatus(fmt::format("{} RealTraffic re-connected", gf_utcClockText()), true);
    gf_clearStatus();
}

void gone() {
    mainWindowState.realTrafficConnected.store(false);
    invalidateTopPanel();
    const LiveTrafficRemoval removal = liveTrafficRemoval.load();
    if (!userStopped.load() && removal != nullptr) {
        removal();
    }
    gf_resetReaders();
    gf_setStatus(
        fmt::format("{} RealTraffic gone? Wait for RealTraffic to re-connect ...", gf_utcClockText()), true);
}

} // namespace

void setLiveTrafficRemoval(LiveTrafficRemoval removal) { liveTrafficRemoval.store(removal); }

void gf_startRTServer(std::string_view portText) {
    if (const int started = socketLayerStartup(); started != 0) {
        throw std::runtime_error(fmt::format("WSAStartup failed with error {}", started));
    }
    // Loopback only: RealTraffic runs on this PC, and no other host may take the one client slot and with
    // it the user's position.
    const TcpListener::OpenResult opened = rtListener.open(portText, true);
    if (!opened.ok()) {
        failSetUp(setUpFailureText(opened, portText));
    }
}

std::uint16_t rtServerPort() { return rtListener.boundPort(); }

std::string rtServerAddress() { return rtListener.boundAddress(); }

bool waitForClient() {
    if (rtClientConnected.load()) {
        return false;
    }
    std::optional<TcpStream> accepted;
    // A connection its peer closed or reset while it waited in the listen queue (a client that gave up,
    // another program's leftovers) is not RealTraffic: taken, it would cost a "re-connected", a failed send
    // and with it the live traffic. One is closed per turn, so the stop flags are still looked at between
    // them.
    std::size_t skipped = 0;
    // Slices, so that closing the window or the simulator never leaves the run waiting for RealTraffic.
    while (!accepted && !runIsStopping() && rtListener.isOpen()) {
        accepted = rtListener.acceptFor(acceptSlice);
        if (accepted && accepted->peerClosed()) {
            accepted.reset();
            ++skipped;
        }
    }
    if (skipped > 0) {
        gf_logUnlessStopping(fmt::format("{} closed RealTraffic connections skipped", skipped));
    }
    if (!accepted) {
        return false;
    }
    rtClient = std::move(*accepted);
    if (!rtClient.setNoDelay()) {
        gf_logUnlessStopping(fmt::format("waitForClient interrupted: {} setsockopt failed with error {}",
                                         gf_utcClockText(), gf_winsockErrorText(lastSocketError())));
        return false;
    }
    rtClientConnected.exchange(true);
    return true;
}

ReplyGathering::ReplyGathering() : buffer_(replyLimit) {}

std::span<char> ReplyGathering::room() { return std::span<char>(buffer_).subspan(count_); }

ReplyGathering::State ReplyGathering::took(std::size_t bytes) {
    count_ += std::min(bytes, buffer_.size() - count_);
    if (count_ >= replyLimit) {
        return State::Overrun;
    }
    // Anything the client sends after one whole reply stays unread.
    return nlohmann::json::accept(buffer_.data(), buffer_.data() + count_) ? State::Whole : State::More;
}

std::string ReplyGathering::reply() const { return std::string(buffer_.data(), count_); }

std::string gf_receiveFromRT() {
    ReplyGathering gathering;
    const Clock::time_point start = Clock::now();
    Clock::time_point lastByte = start;
    while (!runIsStopping()) {
        const Clock::time_point now = Clock::now();
        if (now - start >= replyLimitTime) {
            return {};
        }
        if (gathering.count() > 0 && now - lastByte >= replyQuiet) {
            break;
        }
        const auto slice =
            std::min<Clock::duration>({acceptSlice, start + replyLimitTime - now,
                                       gathering.count() > 0 ? lastByte + replyQuiet - now : acceptSlice});
        const auto limit = std::max(1ms, std::chrono::ceil<std::chrono::milliseconds>(slice));
        const TcpStream::Received got = rtClient.receiveFor(gathering.room(), limit);
        if (got.status == TcpStream::Status::Closed) {
            break;
        }
        if (got.status == TcpStream::Status::Failed) {
            gf_logUnlessStopping(fmt::format("receive: {}", gf_winsockErrorText(lastSocketError())));
            return {};
        }
        if (got.status != TcpStream::Status::Data) {
            continue;
        }
        lastByte = Clock::now();
        const ReplyGathering::State state = gathering.took(got.count);
        if (state == ReplyGathering::State::Overrun) {
            gf_logUnlessStopping(fmt::format("receive: buffer overrun: {}", gathering.count()));
            return {};
        }
        if (state == ReplyGathering::State::Whole) {
            break;
        }
    }
    if (runIsStopping()) {
        return {};
    }
    return gathering.reply();
}

bool sendDataPacket(std::string_view text) {
    if (rtClient.send(text)) {
        return true;
    }
    gf_logUnlessStopping(
        fmt::format("sendDataPacket to RealTraffic failed: {}", gf_winsockErrorText(lastSocketError())));
    rtClientConnected.exchange(false);
    rtClient.close();
    gf_logUnlessStopping("RealTraffic client socket closed");
    return false;
}

void lf_waitForRealTraffic() {
    if (!realTrafficOnThisPc.load()) {
        return;
    }
    gf_setStatus(fmt::format("Waiting for RealTraffic to connect to {} ...", programId), true);
    gf_flushLog();
    gf_resetReaders();
    editionLearned = false;
    if (waitForClient()) {
        askVersion();
        mainWindowState.realTrafficConnected.store(true);
        invalidateTopPanel();
        realTrafficAwaited.exchange(false);
        gf_logText("RealTraffic connected");
    }
    gf_clearStatus();
}

void lf_processRTVersion(std::string_view reply) {
    editionLearned = false;
    if (reply.empty()) {
        gf_setStatus("No RealTraffic version received?", true);
        rtProfessional.store(false);
        return;
    }
    try {
        const nlohmann::json parsed = nlohmann::json::parse(reply);
        if (!parsed.is_object()) {
            setEdition(false, "");
            return;
        }
        const bool professional = professionalLevel(parsed);
        const std::string version = parsed.value("version", std::string{});
        setEdition(professional, fmt::format("RT {} edition: {}", professional ? "prof" : "stnd", version));
        editionLearned = true;
    } catch (const std::exception& error) {
        setEdition(false, "");
        // The parser quotes the reply's bytes in its message.
        gf_logText(fmt::format("{}: JSON parse failed: {}", "lf_processRTVersion",
                               escapeOutsideBytes(error.what())));
    }
}

void lf_sendSimTime(std::int64_t simSeconds) {
    // Beyond this the milliseconds do not fit 64 bits; no simulator reports such a time.
    constexpr std::int64_t largest = std::numeric_limits<std::int64_t>::max() / 1000;
    if (rtClientConnected.load() && simSeconds >= 1 && simSeconds <= largest) {
        sendDataPacket(fmt::format("Qs123={}\r\n", simSeconds * 1000));
    }
}

std::string lf_positionLine(const UserAcPosition& position) {
    // "{:.0f}" rounds to a whole number without a decimal point; "{}" is the shortest text that reads back.
    return fmt::format("Qs121={:.0f};{:.0f};{:.6f};{:.0f};{};{:.6f};{:.6f}\r\n", position.pitch * 100000.0,
                       position.bank * 100000.0, position.heading, position.altitude * 1000.0,
                       position.groundVelocity * 1000.0, position.latitude * kDegToRad,
                       position.longitude * kDegToRad);
}

void lf_sendUserPosition() {
    if (!realTrafficOnThisPc.load()) {
        return;
    }
    const UserAcPosition position = userAircraftSnapshot().position;
    if (!isKnownPosition(position)) {
        return;
    }
    if (!rtClientConnected.load()) {
        reconnected();
        return;
    }
    if (!sendDataPacket(lf_positionLine(position))) {
        gone();
    }
}

void gf_closeRealTrafficSockets() {
    rtClient.close();
    rtListener.close();
    rtClientConnected.exchange(false);
    socketLayerCleanup();
}

} // namespace zeph
