#include "sim/simconnect/sc_test_env.h"

#include <condition_variable>
#include <cstdio>
#include <mutex>

#include <gtest/gtest.h>

#include "platform/local_pipe.h"
#include "sim/simconnect/transport.h"
#include "support/reg_file_builder.h"

namespace zeph::test {

namespace {

int hexDigit(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

SimConnectTimings shortTimings() {
    SimConnectTimings timings;
    timings.closeBefore = std::chrono::milliseconds(1);
    timings.closeAfter = std::chrono::milliseconds(1);
    timings.transportPoll = std::chrono::milliseconds(1);
    timings.transportPolls = 1;
    timings.pipeBusyWait = std::chrono::milliseconds(200);
    timings.tcpConnectLimit = std::chrono::milliseconds(2000);
    return timings;
}

} // namespace

Bytes hexBytes(std::string_view hex) {
    Bytes bytes;
    int high = -1;
    for (char c : hex) {
        int digit = hexDigit(c);
        if (digit < 0) {
            continue;
        }
        if (high < 0) {
            high = digit;
        } else {
            bytes.push_back(static_cast<std::uint8_t>(high * 16 + digit));
            high = -1;
        }
    }
    return bytes;
}

Bytes zeroImage(std::size_t size) { return Bytes(size, 0); }

void putHex(Bytes& image, std::size_t offset, std::string_view hex) {
    Bytes bytes = hexBytes(hex);
    std::copy(bytes.begin(), bytes.end(), image.begin() + static_cast<std::ptrdiff_t>(offset));
}

void putText(Bytes& image, std::size_t offset, std::string_view text) {
    std::copy(text.begin(), text.end(), image.begin() + static_cast<std::ptrdiff_t>(offset));
}

std::string hexOf(const Bytes& bytes) {
    std::string text;
    char part[4];
    for (std::uint8_t byte : bytes) {
        std::snprintf(part, sizeof part, "%02X ", byte);
        text += part;
    }
    return text;
}

SimConnectTestEnv::SimConnectTestEnv()
    : pipeDir_("CORVANE_PIPE_DIR", (temp_ / "pipes").string()),
      registry_("CORVANE_REGISTRY_FILE", (temp_ / "registry.reg").string()),
      documents_("CORVANE_DOCUMENTS_DIR", (temp_ / "documents").string()),
      publicDocuments_("CORVANE_PUBLIC_DOCUMENTS_DIR", (temp_ / "public").string()),
      previous_(simConnectTimings()) {
    std::filesystem::create_directories(documents());
    std::filesystem::create_directories(publicDocuments());
    setSimConnectTimingsForTest(shortTimings());
}

SimConnectTestEnv::~SimConnectTestEnv() { setSimConnectTimingsForTest(previous_); }

std::filesystem::path SimConnectTestEnv::defaultPipePath() const {
    return LocalPipe::socketPath(pipeFullName(".", "")).value_or(std::filesystem::path());
}

std::filesystem::path SimConnectTestEnv::pipePath(const std::string& pipeName) const {
    return LocalPipe::socketPath(pipeFullName(".", pipeName)).value_or(std::filesystem::path());
}

void SimConnectTestEnv::writeRegistryPorts(const std::string& ipv4Port, const std::string& ipv6Port) const {
    RegFileBuilder builder;
    builder.header().key("HKEY_CURRENT_USER\\SOFTWARE\\Lockheed Martin\\Prepar3D v5");
    if (!ipv4Port.empty()) {
        builder.stringValue("SimConnect_Port_IPv4", ipv4Port);
    }
    if (!ipv6Port.empty()) {
        builder.stringValue("SimConnect_Port_IPv6", ipv6Port);
    }
    builder.writeUtf16(registryFile());
}

struct ClientWatch::State {
    std::mutex mutex;
    std::condition_variable changed;
    std::size_t notifications = 0;
};

ClientWatch::ClientWatch(SimConnectClient* client) : client_(client), state_(std::make_shared<State>()) {
    lf_setNotifyTarget(
        client_,
        [state = state_] {
            {
                std::lock_guard lock(state->mutex);
                ++state->notifications;
            }
            state->changed.notify_all();
        },
        nullptr, 0, nullptr);
}

bool ClientWatch::waitFor(const std::function<bool()>& done, std::chrono::milliseconds limit) const {
    std::unique_lock lock(state_->mutex);
    return state_->changed.wait_for(lock, limit, [&] { return done(); });
}

bool ClientWatch::waitForQueued(std::size_t count) const {
    return waitFor([this, count] {
        std::lock_guard lock(client_->mutex);
        return client_->received.size() >= count;
    });
}

bool ClientWatch::waitForFailure() const {
    return waitFor([this] { return client_->transport.hasFailed(); });
}

void collectMessage(const std::uint8_t* message, std::uint32_t size, void* context) {
    static_cast<std::vector<Bytes>*>(context)->emplace_back(message, message + size);
}

std::string familyName(PeerFamily family) {
    switch (family) {
    case PeerFamily::Unix:
        return "AF_UNIX";
    case PeerFamily::Tcp4:
        return "TCP 127.0.0.1";
    default:
        return "TCP ::1";
    }
}

std::unique_ptr<RawPeer> listenPeer(const SimConnectTestEnv& env, PeerFamily family, RawPeerOptions options) {
    switch (family) {
    case PeerFamily::Unix:
        return RawPeer::listenUnix(env.pipePath("corvane-test"), options);
    case PeerFamily::Tcp4:
        return RawPeer::listenTcp4(options);
    default:
        return RawPeer::listenTcp6(options);
    }
}

SimConnectClient* connectClient(const RawPeer& peer, PeerFamily family, std::uint32_t maxReceiveSize) {
    bool overPipe = family == PeerFamily::Unix;
    SimConnectClient* client = lf_createClient(overPipe ? TransportKind::Pipe : TransportKind::Tcp);
    TcpFamily tcpFamily = family == PeerFamily::Tcp6 ? TcpFamily::IPv6 : TcpFamily::IPv4;
    std::string address = overPipe ? "." : family == PeerFamily::Tcp6 ? "::1" : "127.0.0.1";
    std::string port = overPipe ? "corvane-test" : peer.portText();
    if (lf_connectTransport(client->transport, tcpFamily, address, port, maxReceiveSize, false)) {
        lf_closeClient(client);
        return nullptr;
    }
    return client;
}

ClientCloser::~ClientCloser() {
    if (client != nullptr) {
        lf_closeClient(client);
        client = nullptr;
    }
}

} // namespace zeph::test
