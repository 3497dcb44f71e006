// How fast received bytes are cut into messages, against memcpy of the same chunks. 8 MiB of a realistic mix
// (frames 32 B, data by type 96 B, object data 136 B, open replies 308 B) arrive in random chunks of 1 to
// 4096 bytes. Target: at least 10% of memcpy's throughput, a floor that catches quadratic compaction or a
// loop over single bytes.
#include <cstring>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "bench/rate_reporter.h"
#include <benchmark/benchmark.h>
#include <fmt/format.h>

#include "sim/simconnect/reassemble.h"

namespace {

constexpr std::size_t kStreamSize = 8u << 20;

struct Stream {
    std::vector<std::uint8_t> bytes;
    std::vector<std::size_t> chunks;
    std::size_t messages = 0;
};

void appendMessage(std::vector<std::uint8_t>& bytes, std::uint32_t size, std::uint32_t id) {
    std::size_t at = bytes.size();
    bytes.resize(at + size, 0x5A);
    std::memcpy(bytes.data() + at, &size, 4);
    std::uint32_t version = 4;
    std::memcpy(bytes.data() + at + 4, &version, 4);
    std::memcpy(bytes.data() + at + 8, &id, 4);
}

const Stream& stream() {
    static const Stream built = [] {
        Stream s;
        std::mt19937 random(20240601);
        const std::uint32_t sizes[] = {32, 96, 136, 308};
        const std::uint32_t ids[] = {7, 9, 8, 2};
        std::discrete_distribution<int> kind({50, 30, 19, 1});
        while (s.bytes.size() < kStreamSize) {
            int k = kind(random);
            appendMessage(s.bytes, sizes[k], ids[k]);
            ++s.messages;
        }
        std::uniform_int_distribution<std::size_t> chunk(1, 4096);
        for (std::size_t total = 0; total < s.bytes.size();) {
            std::size_t size = std::min(chunk(random), s.bytes.size() - total);
            s.chunks.push_back(size);
            total += size;
        }
        return s;
    }();
    return built;
}

void BM_memcpyChunks(benchmark::State& state) {
    const Stream& s = stream();
    std::vector<std::uint8_t> target(4096);
    for (auto _ : state) {
        const std::uint8_t* from = s.bytes.data();
        for (std::size_t size : s.chunks) {
            std::memcpy(target.data(), from, size);
            benchmark::DoNotOptimize(target.data());
            from += size;
        }
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * s.bytes.size()));
}

void BM_reassemble(benchmark::State& state) {
    const Stream& s = stream();
    std::size_t counted = 0;
    for (auto _ : state) {
        zeph::ReceiveBuffer buffer;
        zeph::ReceiveRecord record;
        buffer.attach();
        counted = 0;
        const std::uint8_t* from = s.bytes.data();
        for (std::size_t size : s.chunks) {
            // A read fills at most the free room, as the transport's reads do.
            while (size > 0) {
                std::size_t part = std::min(size, buffer.freeRoomSize());
                std::memcpy(buffer.freeRoom(), from, part);
                buffer.writePos += part;
                from += part;
                size -= part;
                while (zeph::lf_reassembleMessages(buffer, record, 41088) == zeph::kMessageReady) {
                    // Counted in place: the record keeps its bytes for the next message, so this measures
                    // the cutting itself and not the allocator.
                    if (record.size > 0) {
                        benchmark::DoNotOptimize(record.data.get());
                        ++counted;
                    }
                }
            }
        }
    }
    if (counted != s.messages) {
        state.SkipWithError("message count differs");
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * s.bytes.size()));
    state.counters["messages"] = static_cast<double>(counted);
}

BENCHMARK(BM_memcpyChunks)->UseRealTime();
BENCHMARK(BM_reassemble)->UseRealTime();

} // namespace

int main(int argc, char** argv) {
    stream();
    benchmark::Initialize(&argc, argv);
    zeph::bench::RateReporter reporter("bytes_per_second");
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    double copy = reporter.rateOf("BM_memcpyChunks");
    double cut = reporter.rateOf("BM_reassemble");
    if (copy > 0 && cut > 0) {
        fmt::print("reassembly {:.0f} MiB/s ({} messages per 8 MiB), memcpy {:.0f} MiB/s\n", cut / (1 << 20),
                   stream().messages, copy / (1 << 20));
        fmt::print("ratio {:.1f}% (target >= 10%)\n", cut / copy * 100);
    }
    return 0;
}
