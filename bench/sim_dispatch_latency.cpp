// How soon the client thread handles a simulator frame, and what the thread costs while nothing arrives.
// The in-process stand-in sends 5,000 frames at 500 Hz; each is stamped on the steady clock just before the
// stand-in writes it, and counted as handled when the client thread's frame counter moves. Then the client
// thread's own CPU time is read over an idle stretch (10 s, or the seconds given as the first argument).
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include <pthread.h>
#include <time.h>
#include <unistd.h>

#include "bench/bench_sim_folders.h"
#include "sim/sim_link.h"
#include "sim/simconnect/transport.h"
#include "simstandin/standin.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kFrames = 5000;
constexpr auto kFramePeriod = std::chrono::microseconds(2000);

double threadCpuSeconds(std::thread::native_handle_type thread) {
    clockid_t clock{};
    timespec now{};
    if (pthread_getcpuclockid(thread, &clock) != 0 || clock_gettime(clock, &now) != 0) {
        return 0.0;
    }
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}

double percentile(std::vector<double> values, double share) {
    std::sort(values.begin(), values.end());
    const auto at = static_cast<std::size_t>(share * static_cast<double>(values.size() - 1));
    return values[at];
}

// Waits until the frame counter differs from before; false after a second without it.
bool frameHandled(std::int32_t before) {
    const auto limit = Clock::now() + std::chrono::seconds(1);
    while (zeph::simFrameCounter.load(std::memory_order_relaxed) == before) {
        if (Clock::now() > limit) {
            return false;
        }
    }
    return true;
}

} // namespace

int main(int argc, char** argv) {
    const int idleSeconds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 10;
    const auto folders = prepareSimBenchFolders("corvane-bench");
    if (!folders) {
        return 1;
    }

    zeph::standin::StandinOptions options;
    options.unixPath = folders->pipe.string();
    zeph::standin::SimStandin standin(options);
    standin.start();
    zeph::gf_initSimLink(5);
    std::jthread client(zeph::lf_simClientThread);
    if (!standin.waitPackets(0x09, 1, std::chrono::seconds(10))) {
        std::fprintf(stderr, "the client never finished its set-up\n");
        return 1;
    }
    while (!zeph::simConnected.load()) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }

    std::vector<double> latencies;
    latencies.reserve(kFrames);
    const auto start = Clock::now();
    for (int k = 0; k < kFrames; ++k) {
        std::this_thread::sleep_until(start + kFramePeriod * k);
        const std::int32_t before = zeph::simFrameCounter.load(std::memory_order_relaxed);
        const auto sent = Clock::now();
        standin.stepFrames(1);
        if (!frameHandled(before)) {
            std::fprintf(stderr, "frame %d was never handled\n", k);
            return 1;
        }
        latencies.push_back(std::chrono::duration<double, std::milli>(Clock::now() - sent).count());
    }

    const double cpuBefore = threadCpuSeconds(client.native_handle());
    std::this_thread::sleep_for(std::chrono::seconds(idleSeconds));
    const double idleShare = (threadCpuSeconds(client.native_handle()) - cpuBefore) / idleSeconds * 100.0;

    client.request_stop();
    client.join();
    standin.stop();
    std::filesystem::remove_all(folders->temp);

    const double median = percentile(latencies, 0.5);
    const double p99 = percentile(latencies, 0.99);
    std::printf(
        "frame latency over %d frames: median %.3f ms (target <= 1.5 ms), p99 %.3f ms (target <= 3 ms)\n",
        kFrames, median, p99);
    std::printf("client thread idle CPU over %d s: %.2f%% of one core (target <= 2%%)\n", idleSeconds,
                idleShare);
    return 0;
}
