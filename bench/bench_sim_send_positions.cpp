// How fast the client puts position packets on a local pipe, against raw send() of the same 100-byte images
// to the same kind of socket. Both sides count a batch only once a reading sink has every byte of it.
// Target: the client reaches at least 70% of the raw rate (500 aircraft at 60 fps need 30,000 packets/s).
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "bench/rate_reporter.h"
#include <benchmark/benchmark.h>
#include <fmt/format.h>

#include "platform/local_pipe.h"
#include "platform/socket_fd.h"
#include "sim/simconnect/calls.h"
#include "sim/simconnect/transport.h"

namespace {

constexpr int kBatch = 1000;
constexpr std::size_t kPacketSize = 100;

// Listens on one AF_UNIX path and reads whatever arrives on each accepted connection, counting bytes.
class Sink {
public:
    explicit Sink(const std::filesystem::path& path) {
        std::filesystem::create_directories(path.parent_path());
        std::filesystem::remove(path);
        listener_ = zeph::SocketFd(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::strncpy(address.sun_path, path.c_str(), sizeof address.sun_path - 1);
        if (::bind(listener_.get(), reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
            ::listen(listener_.get(), 4) != 0) {
            std::abort();
        }
        thread_ = std::thread([this] { run(); });
    }
    ~Sink() {
        ::shutdown(listener_.get(), SHUT_RDWR);
        thread_.join();
    }

    void waitForBytes(std::uint64_t total) const {
        while (bytes_.load(std::memory_order_acquire) < total) {
            std::this_thread::yield();
        }
    }
    std::uint64_t bytes() const { return bytes_.load(); }

private:
    void run() {
        std::vector<char> chunk(1 << 16);
        for (;;) {
            zeph::SocketFd connection(::accept4(listener_.get(), nullptr, nullptr, SOCK_CLOEXEC));
            if (!connection) {
                return;
            }
            for (;;) {
                ssize_t got = ::recv(connection.get(), chunk.data(), chunk.size(), 0);
                if (got <= 0) {
                    break;
                }
                bytes_.fetch_add(static_cast<std::uint64_t>(got), std::memory_order_release);
            }
        }
    }

    zeph::SocketFd listener_;
    std::atomic<std::uint64_t> bytes_{0};
    std::thread thread_;
};

std::string pipeName() { return "corvane-bench-positions"; }

Sink& sink() {
    static Sink instance(*zeph::LocalPipe::socketPath(zeph::pipeFullName(".", pipeName())));
    return instance;
}

std::vector<std::uint8_t> positionBlock(std::uint32_t i) {
    std::vector<std::uint8_t> block(64);
    for (std::size_t b = 0; b < block.size(); ++b) {
        block[b] = static_cast<std::uint8_t>(i + b);
    }
    return block;
}

void BM_clientSetData(benchmark::State& state) {
    zeph::SimConnectClient* client = zeph::lf_createClient(zeph::TransportKind::Pipe);
    if (zeph::lf_connectTransport(client->transport, zeph::TcpFamily::IPv4, ".", pipeName(), 41088, false)) {
        state.SkipWithError("no connection");
        zeph::lf_closeClient(client);
        return;
    }
    auto block = positionBlock(7);
    std::uint64_t expected = sink().bytes();
    for (auto _ : state) {
        for (int i = 0; i < kBatch; ++i) {
            zeph::SimConnect_SetDataOnSimObject(client, 402, static_cast<std::uint32_t>(i), 0, 1, 64,
                                                block.data());
        }
        expected += kBatch * kPacketSize;
        sink().waitForBytes(expected);
    }
    state.SetItemsProcessed(state.iterations() * kBatch);
    zeph::lf_closeClient(client);
}

void BM_rawSend(benchmark::State& state) {
    auto connected =
        zeph::LocalPipe::connect(zeph::pipeFullName(".", pipeName()), std::chrono::milliseconds(1000));
    if (!connected.ok()) {
        state.SkipWithError("no connection");
        return;
    }
    std::vector<std::uint8_t> image(kPacketSize);
    auto block = positionBlock(7);
    std::memcpy(image.data() + 36, block.data(), block.size());
    std::uint64_t expected = sink().bytes();
    for (auto _ : state) {
        for (int i = 0; i < kBatch; ++i) {
            image[12] = static_cast<std::uint8_t>(i);
            if (::send(connected.fd.get(), image.data(), image.size(), MSG_NOSIGNAL) !=
                static_cast<ssize_t>(kPacketSize)) {
                state.SkipWithError("send failed");
                return;
            }
        }
        expected += kBatch * kPacketSize;
        sink().waitForBytes(expected);
    }
    state.SetItemsProcessed(state.iterations() * kBatch);
}

BENCHMARK(BM_rawSend)->UseRealTime()->MinTime(1.0);
BENCHMARK(BM_clientSetData)->UseRealTime()->MinTime(1.0);

} // namespace

int main(int argc, char** argv) {
    auto folder = std::filesystem::temp_directory_path() / fmt::format("corvane-bench-pipes-{}", ::getpid());
    ::setenv("CORVANE_PIPE_DIR", folder.c_str(), 1);
    zeph::SimConnectTimings timings;
    timings.closeBefore = timings.closeAfter = timings.transportPoll = std::chrono::milliseconds(0);
    zeph::setSimConnectTimingsForTest(timings);
    sink();

    benchmark::Initialize(&argc, argv);
    zeph::bench::RateReporter reporter("items_per_second");
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();

    double raw = reporter.rateOf("BM_rawSend");
    double client = reporter.rateOf("BM_clientSetData");
    if (raw > 0 && client > 0) {
        double ratio = client / raw;
        fmt::print("client SetDataOnSimObject: {:.0f} packets/s, raw send(): {:.0f} packets/s\n", client,
                   raw);
        fmt::print("ratio {:.0f}% (target >= 70%){}\n", ratio * 100,
                   ratio > 1.0 ? fmt::format("; coalescing gain {:.2f}x over one send() per packet", ratio)
                               : "");
        fmt::print("30,000 packets/s needed: {:.0f}x headroom\n", client / 30000.0);
    }
    std::error_code error;
    std::filesystem::remove_all(folder, error);
    return 0;
}
