// What one simulator frame costs the client thread with 500 AI objects in motion. The in-process stand-in
// sends frames at 60 Hz; 500 aircraft are created through the real path (creation work list, frame, range
// request, match); then a second thread, playing the traffic thread, writes 500 positions and swaps the
// halves every 10 ms for 10 s (or the seconds given as the first argument). Measured: the client thread's
// CPU per frame, the positions the stand-in received per frame, and the cost per position against bare
// SimConnect_SetDataOnSimObject calls timed in this binary.
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <mutex>
#include <stop_token>
#include <string>
#include <thread>
#include <vector>

#include <fmt/format.h>
#include <pthread.h>
#include <time.h>
#include <unistd.h>

#include "bench/bench_sim_folders.h"
#include "sim/ai_objects.h"
#include "sim/sim_link.h"
#include "sim/simconnect/calls.h"
#include "simstandin/standin.h"
#include "traffic/traffic_pass.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr std::size_t kObjects = 500;
constexpr auto kPassPeriod = std::chrono::milliseconds(10);
constexpr const char* kTitle = "Airbus A320 Lufthansa";

double cpuSeconds(clockid_t clock) {
    timespec now{};
    if (clock_gettime(clock, &now) != 0) {
        return 0.0;
    }
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}

clockid_t threadClock(std::thread::native_handle_type thread) {
    clockid_t clock{};
    pthread_getcpuclockid(thread, &clock);
    return clock;
}

bool waitUntil(const auto& done, std::chrono::seconds limit) {
    const auto end = Clock::now() + limit;
    while (!done()) {
        if (Clock::now() > end) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

zeph::AiPositionData positionOf(std::uint32_t objectId, std::size_t index, std::int64_t pass) {
    const double offset = 0.0001 * static_cast<double>(index);
    return {0.01 + offset, 0.01 - offset,
            0.0,           0.0,
            1.0,           1000.0 + static_cast<double>(pass % 1000),
            0.0,           static_cast<double>(pass),
            objectId};
}

// Creates the aircraft through the frame handler and matches them with a range request; their object ids.
std::vector<std::uint32_t> createObjects(zeph::standin::SimStandin& standin) {
    for (std::size_t k = 0; k < kObjects; ++k) {
        zeph::AiCreateRequest request;
        request.position = {0.01 + 0.0001 * static_cast<double>(k), 0.01, 1000.0, 0.0, 0.0, 90.0, 0, 0};
        request.callsign = fmt::format("BEN{:04}", k);
        request.livery = kTitle;
        request.hexid = static_cast<std::uint32_t>(100000 + k);
        zeph::gf_queueAiCreation(request);
    }
    const auto allMade = [&] {
        const auto created = standin.created();
        return std::count_if(created.begin(), created.end(), [](const auto& c) { return c.objectId != 0; }) ==
               static_cast<std::ptrdiff_t>(kObjects);
    };
    if (!waitUntil(allMade, std::chrono::seconds(20))) {
        return {};
    }
    {
        const std::lock_guard lock(zeph::simConnectMutex);
        zeph::gf_simCalls().requestDataOnSimObjectType(101, 404, 50000, 2);
    }
    std::vector<std::uint32_t> ids;
    waitUntil(
        [&] {
            const std::lock_guard lock(zeph::simResultMutex);
            for (const zeph::SimResult& r : zeph::simResultQueue) {
                if (r.kind == 0) {
                    ids.push_back(r.objectId);
                }
            }
            zeph::simResultQueue.clear();
            return ids.size() >= kObjects;
        },
        std::chrono::seconds(20));
    return ids;
}

// The traffic thread's part: every 10 ms a full write half, then the swap.
void writePositions(const std::stop_token& stop, const std::vector<std::uint32_t>& ids) {
    auto next = Clock::now();
    for (std::int64_t pass = 1; !stop.stop_requested(); ++pass) {
        auto& half = zeph::positionBuffers.writeHalf();
        for (std::size_t k = 0; k < ids.size(); ++k) {
            half.push_back(positionOf(ids[k], k, pass));
        }
        zeph::lf_updateAllLiveAc();
        next += kPassPeriod;
        std::this_thread::sleep_until(next);
    }
}

// CPU seconds of one bare position call, with the frame handler held off by the lock.
double bareCallSeconds(const std::vector<std::uint32_t>& ids) {
    constexpr int kRounds = 20;
    const std::lock_guard lock(zeph::simConnectMutex);
    const double start = cpuSeconds(CLOCK_THREAD_CPUTIME_ID);
    for (int round = 0; round < kRounds; ++round) {
        for (std::size_t k = 0; k < ids.size(); ++k) {
            const zeph::AiPositionData position = positionOf(ids[k], k, round);
            zeph::SimConnect_SetDataOnSimObject(zeph::simClientHandle, 402, ids[k], 0, 0, 64, &position);
        }
    }
    return (cpuSeconds(CLOCK_THREAD_CPUTIME_ID) - start) / (kRounds * static_cast<double>(ids.size()));
}

struct FrameCounts {
    std::size_t frames = 0;
    std::size_t full = 0;  // all 500 positions
    std::size_t empty = 0; // none: the lock was busy, or no swap since the frame before
    std::size_t other = 0;
    std::size_t positions = 0;
};

// Positions the stand-in received, by the frame during which they came, for frames [first, last).
FrameCounts countByFrame(zeph::standin::SimStandin& standin, const std::vector<std::uint32_t>& ids,
                         std::uint64_t first, std::uint64_t last) {
    std::map<std::uint64_t, std::size_t> perFrame;
    for (std::uint64_t frame = first; frame < last; ++frame) {
        perFrame[frame] = 0;
    }
    for (const std::uint32_t id : ids) {
        for (const auto& sample : standin.positions(id).samples) {
            if (sample.frame >= first && sample.frame < last) {
                ++perFrame[sample.frame];
            }
        }
    }
    FrameCounts counts;
    for (const auto& [frame, count] : perFrame) {
        ++counts.frames;
        counts.positions += count;
        if (count == kObjects) {
            ++counts.full;
        } else if (count == 0) {
            ++counts.empty;
        } else {
            ++counts.other;
        }
    }
    return counts;
}

} // namespace

int main(int argc, char** argv) {
    const int seconds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 10;
    const auto folders = prepareSimBenchFolders("corvane-frame-bench");
    if (!folders) {
        return 1;
    }

    zeph::standin::StandinOptions options;
    options.unixPath = folders->pipe.string();
    options.manualFrames = false;
    options.frameRate = 60.0;
    options.packetLogLimit = 1000;
    options.positionHistory = static_cast<std::size_t>(seconds) * 70 + 100;
    zeph::standin::SimStandin standin(options);
    standin.start();
    zeph::gf_initSimLink(5);
    std::jthread client(zeph::lf_simClientThread);
    if (!waitUntil([] { return zeph::simConnected.load(); }, std::chrono::seconds(10))) {
        std::fprintf(stderr, "the client never connected\n");
        return 1;
    }

    const std::vector<std::uint32_t> ids = createObjects(standin);
    if (ids.size() != kObjects) {
        std::fprintf(stderr, "only %zu of %zu aircraft were created\n", ids.size(), kObjects);
        return 1;
    }
    const clockid_t clientClock = threadClock(client.native_handle());
    // The thread's cost of frames without positions (the dispatch loop, the frame messages), so the cost per
    // position is what the positions add.
    std::this_thread::sleep_for(std::chrono::milliseconds(500)); // past the freeze events
    const std::uint64_t idleFirst = standin.frame();
    const double idleStart = cpuSeconds(clientClock);
    std::this_thread::sleep_for(std::chrono::seconds(2));
    const double idlePerFrame = (cpuSeconds(clientClock) - idleStart) /
                                static_cast<double>(std::max<std::uint64_t>(standin.frame() - idleFirst, 1));

    std::jthread traffic([&ids](const std::stop_token& stop) { writePositions(stop, ids); });
    std::this_thread::sleep_for(std::chrono::milliseconds(500)); // past the first swaps

    const std::uint64_t firstFrame = standin.frame() + 1;
    const double cpuStart = cpuSeconds(clientClock);
    std::this_thread::sleep_for(std::chrono::seconds(seconds));
    const double cpuUsed = cpuSeconds(clientClock) - cpuStart;
    const std::uint64_t lastFrame = standin.frame();
    traffic.request_stop();
    traffic.join();
    std::this_thread::sleep_for(std::chrono::milliseconds(100));

    const FrameCounts counts = countByFrame(standin, ids, firstFrame, lastFrame);
    const double bare = bareCallSeconds(ids);
    client.request_stop();
    client.join();
    standin.stop();
    std::filesystem::remove_all(folders->temp);

    const double frames = static_cast<double>(std::max<std::size_t>(counts.frames, 1));
    const double perFrameMs = cpuUsed / frames * 1e3;
    const double addedByPositions = std::max(cpuUsed - idlePerFrame * frames, 0.0);
    const double perPosition =
        counts.positions > 0 ? addedByPositions / static_cast<double>(counts.positions) : 0.0;
    std::printf("frames: %zu in %d s; positions received: %zu (%.1f per frame)\n", counts.frames, seconds,
                counts.positions, static_cast<double>(counts.positions) / frames);
    std::printf("client thread CPU per frame: %.3f ms (target <= 0.5 ms); without positions: %.3f ms\n",
                perFrameMs, idlePerFrame * 1e3);
    std::printf("cost per position: %.2f us, bare SetDataOnSimObject: %.2f us, ratio %.2f (target <= 1.5)\n",
                perPosition * 1e6, bare * 1e6, bare > 0.0 ? perPosition / bare : 0.0);
    std::printf(
        "frames with all %zu positions: %zu; with none (lock busy or no swap since the last frame): %zu "
        "(%.2f%%, expected under 1%%); with a part: %zu (expected 0)\n",
        kObjects, counts.full, counts.empty, 100.0 * static_cast<double>(counts.empty) / frames,
        counts.other);
    return counts.other == 0 ? 0 : 2;
}
