#pragma once
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "sim/simconnect/client.h"
#include "support/raw_peer.h"
#include "support/scoped_env.h"
#include "support/slow_factor.h"
#include "support/temp_dir.h"

// Helpers of the SimConnect client tests: expected images written as hex, an isolated set of places for
// the pipe folder, the registry and SimConnect.cfg, and waits on the client's notifications.

namespace zeph::test {

// "28 01 00 00 ..." -> bytes.
Bytes hexBytes(std::string_view hex);
// An image of size zero bytes; put writes bytes (hex or text) at an offset.
Bytes zeroImage(std::size_t size);
void putHex(Bytes& image, std::size_t offset, std::string_view hex);
void putText(Bytes& image, std::size_t offset, std::string_view text);
std::string hexOf(const Bytes& bytes);

// Temp pipe folder, registry file, Documents, Public Documents and current folder, and short close waits
// (closeBefore 1 ms, closeAfter 1 ms, one 1 ms look for transports; pipes wait 200 ms when busy, TCP 2 s).
class SimConnectTestEnv {
public:
    SimConnectTestEnv();
    ~SimConnectTestEnv();
    SimConnectTestEnv(const SimConnectTestEnv&) = delete;
    SimConnectTestEnv& operator=(const SimConnectTestEnv&) = delete;

    const std::filesystem::path& root() const { return temp_.path(); }
    std::filesystem::path registryFile() const { return temp_ / "registry.reg"; }
    std::filesystem::path documents() const { return temp_ / "documents"; }
    std::filesystem::path publicDocuments() const { return temp_ / "public"; }
    std::filesystem::path currentFolder() const { return programDir_.path(); }
    // Where the default pipe of the local machine listens.
    std::filesystem::path defaultPipePath() const;
    // A pipe of its own for tests that connect a transport directly: "\\.\pipe\<name>".
    std::filesystem::path pipePath(const std::string& pipeName) const;

    // Writes the registry file with the two SimConnect ports (an empty text leaves that value out).
    void writeRegistryPorts(const std::string& ipv4Port, const std::string& ipv6Port) const;

private:
    ProgramDir programDir_;
    TempDir temp_;
    ScopedEnv pipeDir_;
    ScopedEnv registry_;
    ScopedEnv documents_;
    ScopedEnv publicDocuments_;
    SimConnectTimings previous_;
};

// Counts the client's notifications (a queued message or an error close) and waits on them.
class ClientWatch {
public:
    explicit ClientWatch(SimConnectClient* client);

    bool waitFor(const std::function<bool()>& done, std::chrono::milliseconds limit = kLivenessBound) const;
    bool waitForQueued(std::size_t count) const;
    bool waitForFailure() const;

private:
    struct State;
    SimConnectClient* client_;
    std::shared_ptr<State> state_;
};

// A dispatch procedure whose context is a std::vector<Bytes>: keeps a copy of each message.
void collectMessage(const std::uint8_t* message, std::uint32_t size, void* context);

enum class PeerFamily { Unix, Tcp4, Tcp6 };
std::string familyName(PeerFamily family);

// A peer listening on that family (nullptr for Tcp6 without an IPv6 loopback), and a client connected to
// it directly through its transport (nullptr when that fails).
std::unique_ptr<RawPeer> listenPeer(const SimConnectTestEnv& env, PeerFamily family,
                                    RawPeerOptions options = {});
SimConnectClient* connectClient(const RawPeer& peer, PeerFamily family, std::uint32_t maxReceiveSize = 41088);

// Closes the client at the end of a scope.
struct ClientCloser {
    SimConnectClient*& client;
    ~ClientCloser();
};

} // namespace zeph::test
