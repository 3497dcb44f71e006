#include "realtraffic/report_queue.h"
#include "traffic/traffic_pass.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <future>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "settings/parameter_table.h"
#include "sim/sim_link.h"
#include "support/aircraft_fixture.h"
#include "support/fake_simulator.h"
#include "support/slow_factor.h"
#include "support/traffic_builders.h"
#include "traffic/traffic_tables.h"

namespace zeph {
namespace {

using namespace std::chrono_literals;

// Holds simConnectMutex on a thread of its own until released (a std::mutex is unlocked by its owner).
class LockHolder {
public:
    LockHolder()
        : thread_([this] {
              const std::lock_guard lock(simConnectMutex);
              held_.set_value();
              release_.get_future().wait();
          }) {
        held_.get_future().wait();
    }
    ~LockHolder() { release(); }
    LockHolder(const LockHolder&) = delete;
    LockHolder& operator=(const LockHolder&) = delete;

    void release() {
        if (!released_) {
            released_ = true;
            release_.set_value();
            thread_.join();
        }
    }

private:
    std::promise<void> held_;
    std::promise<void> release_;
    bool released_ = false;
    std::thread thread_;
};

void freshTables() {
    lf_clearTrafficTables();
    const std::lock_guard lock(simConnectMutex);
    positionBuffers.reset();
}

TEST(TrafficPassThreads, ThePositionSwapWaitsForABusyLockOnlyAbove50FramesASecond) {
    struct Case {
        const char* name;
        bool lockHeld;
        float frameRate;
        bool passWaits;
    };
    const std::vector<Case> cases{
        {"lock free", false, 30.0F, false},
        {"busy at 30 frames", true, 30.0F, false},
        {"busy at 50 frames", true, 50.0F, false},
        {"busy at 60 frames", true, 60.0F, true},
    };
    const AiPositionData earlier{1.0, 2.0, 0.0, 0.0, 0.0, 100.0, 0.0, 0.0, 999};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        freshTables();
        tickCounter.store(1001); // nothing else in this pass takes the lock
        simFrameRate.store(c.frameRate);
        LiveAc aircraft;
        aircraft.state = AcState::active;
        aircraft.objectId = 101;
        aircraft.position.latitude = 47.5;
        aircraft.stream.emplace_back().duePass = 1000000; // not due in this pass
        liveAcTable.push_back(aircraft);
        positionBuffers.sendHalf().push_back(earlier);

        std::optional<LockHolder> holder;
        if (c.lockHeld) {
            holder.emplace();
        }
        std::future<void> pass = std::async(std::launch::async, [] { lf_handleAddingStack(); });
        if (c.passWaits) {
            EXPECT_EQ(pass.wait_for(50ms), std::future_status::timeout) << "the pass waits for the frame";
        } else {
            ASSERT_EQ(pass.wait_for(test::kLivenessBound), std::future_status::ready)
                << "the pass returns while the lock is held";
        }
        const bool heldDuringPass = holder.has_value() && !c.passWaits;
        holder.reset();
        ASSERT_EQ(pass.wait_for(test::kLivenessBound), std::future_status::ready) << "deadlock guard";
        pass.get();

        EXPECT_TRUE(positionBuffers.writeHalf().empty());
        const std::vector<AiPositionData>& sent = positionBuffers.sendHalf();
        ASSERT_EQ(sent.size(), 1U);
        EXPECT_EQ(sent[0].objectId, heldDuringPass ? 999U : 101U);
        EXPECT_EQ(sent[0].latitude, heldDuringPass ? 1.0 : 47.5);
    }
}

// 100 aircraft, each with 100 reports 10 s apart that pass the intake's filters.
TrafficReport reportOf(std::uint32_t aircraft, std::uint32_t k) {
    test::ReportSpec spec{.hexid = 40001 + aircraft, .callsign = "THR" + std::to_string(aircraft)};
    spec.bearingDeg = 3.6 * aircraft;
    spec.distanceNm += 0.05 * k; // each report a point of its own, beyond the jitter
    spec.altitude = 3000.0 + k;
    spec.reportTime = 1000.0 + 10.0 * k;
    return test::makeReport(spec);
}

TEST(TrafficPassThreads, ReaderClientAndTrafficThreadsShareTheTables) {
    constexpr std::uint32_t kAircraft = 100;
    constexpr std::uint32_t kReports = 100;
    test::TestAircraft fleet;
    freshTables();
    tickCounter.store(1000);
    std::vector<TrafficReport> reports;
    for (std::uint32_t k = 0; k < kReports; ++k) {
        for (std::uint32_t a = 0; a < kAircraft; ++a) {
            reports.push_back(reportOf(a, k));
        }
    }
    test::FakeSimulator fake;
    setTrafficAccepting(true);
    // The records spawn as their positions come due: the user on the ground keeps out of their way, and the
    // live limit lets every one in.
    test::placeUserAircraft(UserAcPosition{}, true);
    MAX_LIVE_SEL.setValue(500);

    std::atomic<bool> readerDone{false};
    std::atomic<bool> trafficDone{false};
    const auto stackSize = [] {
        const std::lock_guard lock(addingStackMutex);
        return addingStack.size();
    };
    // The reader keeps below the stack's limit, as RealTraffic's pace does: every report is to arrive.
    std::jthread reader([&] {
        for (TrafficReport& report : reports) {
            while (stackSize() >= kAddingStackLimit / 2) {
                std::this_thread::sleep_for(100us);
            }
            gf_pushTrafficReport(std::move(report));
        }
        readerDone.store(true);
    });
    std::jthread client([&] {
        while (!trafficDone.load()) {
            fake.frame();
            std::this_thread::sleep_for(1ms);
        }
    });
    const auto stackEmpty = [&] { return stackSize() == 0; };
    // An empty stack is not yet every report taken, and creation requests go out one per 50 passes: the
    // passes go on until each record holds its last report and one request is out, whatever the pace.
    const auto settled = [] {
        const auto last = [](const LiveAc& a) {
            return !a.stream.empty() && a.stream.back().altitude == 3000.0 + kReports - 1;
        };
        return liveAcTable.size() == kAircraft && std::all_of(liveAcTable.begin(), liveAcTable.end(), last) &&
               std::any_of(liveAcTable.begin(), liveAcTable.end(),
                           [](const LiveAc& a) { return a.state != AcState::buffer; });
    };
    // A pass is 10 ms of the program's time, and RealTraffic's reports come in real time. Run freely, the
    // passes would leave a reader that a loaded machine holds back for a few milliseconds thousands of passes
    // behind: to the engine its aircraft would have stopped reporting for longer than the report delay, so
    // they would be removed as it removes every such aircraft, ignoring their reports while they go. While
    // reports still come, a pass therefore runs only for one that waits.
    const auto deadline = std::chrono::steady_clock::now() + 30 * test::kLivenessBound;
    while ((!readerDone.load() || !stackEmpty() || !settled()) &&
           std::chrono::steady_clock::now() < deadline) {
        if (!readerDone.load() && stackEmpty()) {
            std::this_thread::yield();
            continue;
        }
        lf_handleAddingStack();
    }
    trafficDone.store(true);
    reader.join();
    client.join();
    fake.frame(); // a request built after the client's last frame

    ASSERT_TRUE(stackEmpty());
    ASSERT_EQ(liveAcTable.size(), kAircraft);
    EXPECT_FALSE(fake.creations().empty());
    for (const LiveAc& a : liveAcTable) {
        SCOPED_TRACE(testing::Message() << "hexid " << a.hexid);
        // Creations go out one per 50 passes, so how many records have spawned when the stack is empty
        // depends on the threads' pace. A record, spawned or waiting, may have flown or dropped its first
        // positions: the rest are the reports in order, none lost at the end.
        ASSERT_FALSE(a.stream.empty());
        const std::size_t first = kReports - a.stream.size();
        for (std::size_t k = 0; k < a.stream.size(); ++k) {
            EXPECT_EQ(a.stream[k].altitude, 3000.0 + static_cast<double>(first + k))
                << "report " << first + k;
        }
    }
    lf_clearTrafficTables();
}

} // namespace
} // namespace zeph
