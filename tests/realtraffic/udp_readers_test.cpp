#include "realtraffic/udp_readers.h"

#include <algorithm>
#include <chrono>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include <fmt/format.h>
#include <gtest/gtest.h>

#include "app/startup_thread.h"
#include "core/run_flags.h"
#include "realtraffic/qnh.h"
#include "realtraffic/traffic_reader.h"
#include "rtfeed/rt_feed.h"
#include "state/exit_reason.h"
#include "state/main_window_state.h"
#include "support/log_fixture.h"
#include "support/slow_factor.h"

namespace zeph {
namespace {

using namespace std::chrono_literals;

// Feed options that send both kinds of datagram to port.
rtfeed::RtFeedOptions sendingTo(std::uint16_t port) {
    rtfeed::RtFeedOptions options;
    options.trafficPort = port;
    options.qnhPort = port;
    return options;
}
using test::kLivenessBound;

bool waitUntil(const std::function<bool()>& done) {
    const auto deadline = std::chrono::steady_clock::now() + kLivenessBound;
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline) {
            return false;
        }
        std::this_thread::sleep_for(2ms);
    }
    return true;
}

// A reader that keeps what it is handed.
class RecordingReader final : public UdpReader {
public:
    void onDatagram(std::string_view datagram) override {
        const std::lock_guard lock(mutex_);
        handed_.emplace_back(datagram);
        nulAfterEach_ = nulAfterEach_ && datagram.data()[datagram.size()] == '\0';
    }
    void onStopped() override { stops_.fetch_add(1); }

    std::vector<std::string> handed() const {
        const std::lock_guard lock(mutex_);
        return handed_;
    }
    bool nulAfterEach() const {
        const std::lock_guard lock(mutex_);
        return nulAfterEach_;
    }
    int stops() const { return stops_.load(); }

private:
    mutable std::mutex mutex_;
    std::vector<std::string> handed_;
    bool nulAfterEach_ = true;
    std::atomic<int> stops_{0};
};

std::size_t countLines(const std::vector<std::string>& lines, const std::string& text) {
    return static_cast<std::size_t>(std::count(lines.begin(), lines.end(), text));
}

std::ptrdiff_t indexOf(const std::vector<std::string>& lines, const std::string& text) {
    const auto found = std::find(lines.begin(), lines.end(), text);
    return found == lines.end() ? -1 : found - lines.begin();
}

class UdpReaderThreads : public test::LogFixture {
protected:
    void SetUp() override {
        LogFixture::SetUp();
        resetMainWindowStateForTests();
        resetExitReasonForRestart();
        gf_resetReaders();
        realTrafficOnThisPc.store(true);
    }

    void TearDown() override {
        if (thread_.joinable()) {
            stop(*running_, true);
        }
        realTrafficOnThisPc.store(false);
        resetExitReasonForRestart();
        resetMainWindowStateForTests();
        LogFixture::TearDown();
    }

    // Runs body on a reader thread; true once the reader's socket is bound.
    bool start(UdpReader& reader, std::function<void()> body) {
        running_ = &reader;
        reader.stopFlag.store(false);
        thread_ = std::jthread(std::move(body));
        return waitUntil([&] { return reader.boundPort() != 0; });
    }
    bool start(RecordingReader& reader) {
        return start(reader, [&reader] { lf_runReaderThread(reader, "Test Reader", 0, {}); });
    }

    // Sets the stop flag; a wake-up datagram spares the wait for the receive slice.
    void stop(UdpReader& reader, bool wake) {
        const std::uint16_t port = reader.boundPort();
        reader.stopFlag.store(true);
        if (wake && port != 0) {
            rtfeed::RtFeed(sendingTo(port)).sendTrafficRaw("wake");
        }
        thread_.join();
    }

    // A fresh recording reader that outlives its thread.
    RecordingReader& newReader() { return *readers_.emplace_back(std::make_unique<RecordingReader>()); }

    std::jthread thread_;
    UdpReader* running_ = nullptr;
    std::vector<std::unique_ptr<RecordingReader>> readers_;
};

TEST_F(UdpReaderThreads, OversizeDatagramsAreDroppedAndTheLoopGoesOn) {
    struct Case {
        const char* name;
        std::size_t size;
        bool stopping;
        bool handed;
        bool logged;
    };
    const Case cases[] = {
        {"16383 bytes", 16383, false, true, false},
        {"16384 bytes", 16384, false, false, true},
        {"20000 bytes", 20000, false, false, true},
        {"20000 bytes while the run stops", 20000, true, false, false},
    };
    RecordingReader& reader = newReader();
    ASSERT_TRUE(start(reader));
    rtfeed::RtFeed feed(sendingTo(reader.boundPort()));
    int index = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string overrun = fmt::format("buffer overrun: {} bytes", c.size);
        const std::size_t overrunsBefore = countLines(readLog(), overrun);
        const std::uint32_t countedBefore = reader.datagramCounter.load();
        const std::size_t handedBefore = reader.handed().size();
        const std::string next = fmt::format("next {}", index++);
        runStopping.store(c.stopping);
        ASSERT_TRUE(feed.sendTrafficRaw(std::string(c.size, 'x')));
        ASSERT_TRUE(feed.sendTrafficRaw(next));
        ASSERT_TRUE(waitUntil([&] {
            return reader.handed().size() > handedBefore && reader.handed().back() == next;
        })) << "the datagram after it is still handed on";
        runStopping.store(false);

        const auto handed = reader.handed();
        EXPECT_EQ(handed.size() - handedBefore, c.handed ? 2U : 1U);
        if (c.handed) {
            EXPECT_EQ(handed[handedBefore].size(), c.size);
        }
        EXPECT_EQ(reader.datagramCounter.load() - countedBefore, c.handed ? 2U : 1U)
            << "oversize ones not counted";
        EXPECT_EQ(countLines(readLog(), overrun) - overrunsBefore, c.logged ? 1U : 0U);
    }
    EXPECT_TRUE(reader.nulAfterEach());
    EXPECT_EQ(exitReason.load(), ExitReason::NOT_YET_SET) << "no READER ERROR";
}

TEST_F(UdpReaderThreads, RepeatsAreDroppedOnlyWhileRealTrafficRunsElsewhere) {
    struct Case {
        const char* name;
        bool onThisPc;
        std::vector<std::string> sent;
        std::vector<std::string> handed;
        const char* address;
    };
    const Case cases[] = {
        {"elsewhere, A A", false, {"A", "A"}, {"A"}, "0.0.0.0"},
        {"elsewhere, A B A", false, {"A", "B", "A"}, {"A", "B", "A"}, "0.0.0.0"},
        {"this PC, A A", true, {"A", "A"}, {"A", "A"}, "127.0.0.1"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        realTrafficOnThisPc.store(c.onThisPc);
        RecordingReader& reader = newReader();
        ASSERT_TRUE(start(reader));
        EXPECT_EQ(reader.boundAddress(), c.address);
        rtfeed::RtFeed feed(sendingTo(reader.boundPort()));
        for (const std::string& datagram : c.sent) {
            ASSERT_TRUE(feed.sendTrafficRaw(datagram));
        }
        ASSERT_TRUE(feed.sendTrafficRaw("end"));
        ASSERT_TRUE(waitUntil([&] { return !reader.handed().empty() && reader.handed().back() == "end"; }));
        std::vector<std::string> expected = c.handed;
        expected.push_back("end");
        EXPECT_EQ(reader.handed(), expected);
        EXPECT_EQ(reader.datagramCounter.load(), c.sent.size() + 1) << "repeats are counted";
        stop(reader, true);
        EXPECT_EQ(reader.stops(), 1);
        EXPECT_EQ(reader.boundPort(), 0) << "socket closed";
    }
}

TEST_F(UdpReaderThreads, AStopFlagEndsAReaderDuringSilence) {
    struct Case {
        const char* name;
        void (*thread)(std::uint16_t);
        UdpReader& reader;
        std::atomic<std::int32_t>& state;
        std::int32_t stateBeforeStop; // 0: as the reader set it
        std::int32_t stateAfter;
    };
    const Case cases[] = {
        {"Traffic Reader", lf_trafficReaderThread, trafficReader, mainWindowState.trafficReaderState, 0, 3},
        {"QNH Reader", lf_qnhReaderThread, qnhReader, mainWindowState.qnhReaderState, 2, 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string name = c.name;
        ASSERT_TRUE(start(c.reader, [&c] { c.thread(0); }));
        EXPECT_EQ(c.state.load(), 1) << "receiving once bound";
        if (c.stateBeforeStop != 0) {
            c.state.store(c.stateBeforeStop);
        }
        const auto stopAt = std::chrono::steady_clock::now();
        stop(c.reader, false);
        EXPECT_LT(std::chrono::steady_clock::now() - stopAt, kLivenessBound);

        EXPECT_EQ(c.state.load(), c.stateAfter);
        const auto log = readLog();
        const std::ptrdiff_t stopped = indexOf(log, name + " has stopped");
        EXPECT_GE(indexOf(log, "          " + name + " connected"), 0);
        ASSERT_GE(stopped, 0);
        EXPECT_EQ(indexOf(log, "          " + name + " disconnected"), stopped + 1);
    }
}

TEST_F(UdpReaderThreads, ATakenPortEndsTheRunWithReaderError) {
    struct Case {
        const char* name;
        void (*thread)(std::uint16_t);
    };
    const Case cases[] = {
        {"Traffic Reader", lf_trafficReaderThread},
        {"QNH Reader", lf_qnhReaderThread},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string name = c.name;
        resetExitReasonForRestart();
        {
            const std::lock_guard lock(mainWindowState.statusMutex);
            mainWindowState.statusText.clear();
        }
        UdpSocket taken;
        ASSERT_TRUE(taken.open() && taken.bind(true, 0));

        c.thread(taken.boundPort());

        const std::string text =
            "The " + name +
            " has stopped with error: bind to stream socket failed, error: 10048 Address already in use";
        {
            const std::lock_guard lock(mainWindowState.statusMutex);
            EXPECT_EQ(mainWindowState.statusText, text);
        }
        EXPECT_EQ(exitReason.load(), ExitReason::READER_ERROR);
        EXPECT_EQ(currentRestartDelay(), 15);
        const auto log = readLog();
        const std::ptrdiff_t error = indexOf(log, text);
        ASSERT_GE(error, 0);
        EXPECT_EQ(indexOf(log, "          " + name + " disconnected"), error + 1);
        EXPECT_EQ(indexOf(log, name + " has stopped"), -1) << "onStopped is not called";
    }
}

// The watchdog on the traffic thread, one run per row, in order.
class ReaderWatchdog : public ::testing::Test {
protected:
    void SetUp() override {
        resetMainWindowStateForTests();
        gf_resetReaders();
        trafficReader.datagramCounter.store(0);
        trafficReader.counterSnapshot.store(0);
    }
    void TearDown() override { SetUp(); }
};

TEST_F(ReaderWatchdog, MarksSilentReadersWhileRealTrafficIsConnected) {
    struct Step {
        const char* name;
        bool connected;
        std::uint32_t trafficDatagrams;
        std::uint32_t qnhDatagrams;
        std::int32_t trafficState;
        std::int32_t qnhState;
        bool trafficLive;
        bool qnhLive;
        bool resetFirst = false; // RealTraffic went and the readers were reset before this run
    };
    const Step steps[] = {
        {"silence", true, 0, 0, 2, 2, false, false},
        {"datagrams again", true, 2, 1, 1, 1, true, true},
        {"traffic only", true, 1, 0, 1, 2, true, false},
        {"not connected: nothing changes", false, 0, 0, 1, 2, true, false},
        {"connected, QNH only", true, 0, 1, 2, 1, false, true},
        {"silence again", true, 0, 0, 2, 2, false, false},
        {"RealTraffic back after the reset", true, 3, 1, 1, 1, true, true, true},
    };
    mainWindowState.trafficReaderState.store(1);
    mainWindowState.qnhReaderState.store(1);
    for (const Step& s : steps) {
        SCOPED_TRACE(s.name);
        if (s.resetFirst) {
            gf_resetReaders();
        }
        mainWindowState.realTrafficConnected.store(s.connected);
        trafficReader.datagramCounter.fetch_add(s.trafficDatagrams);
        qnhReader.datagramCounter.fetch_add(s.qnhDatagrams);
        lf_checkReaderActivity();
        EXPECT_EQ(mainWindowState.trafficReaderState.load(), s.trafficState);
        EXPECT_EQ(mainWindowState.qnhReaderState.load(), s.qnhState);
        EXPECT_EQ(trafficReaderLive.load(), s.trafficLive);
        EXPECT_EQ(qnhReaderLive.load(), s.qnhLive);
    }
}

TEST_F(ReaderWatchdog, TheResetLeavesOnlyTheTrafficReadersCounter) {
    trafficReader.setLastReportTime(1733560000.25);
    trafficReader.startCallsignCollection();
    trafficReader.collectCallsign("DLH1");
    for (UdpReader* reader : {static_cast<UdpReader*>(&trafficReader), static_cast<UdpReader*>(&qnhReader)}) {
        reader->stopFlag.store(true);
        reader->datagramCounter.store(7);
        reader->counterSnapshot.store(6);
    }
    trafficReaderLive.store(false);
    qnhReaderLive.store(false);
    qnhReader.lastQnh.store(990);

    gf_resetReaders();

    struct Check {
        const char* name;
        bool holds;
    };
    const Check checks[] = {
        {"last report time 0", trafficReader.lastReportTime() == 0.0},
        {"seen callsigns emptied", trafficReader.seenCallsigns().empty()},
        {"stop flags cleared", !trafficReader.stopFlag.load() && !qnhReader.stopFlag.load()},
        {"both live", trafficReaderLive.load() && qnhReaderLive.load()},
        {"last QNH 1013", qnhReader.lastQnh.load() == 1013},
        {"QNH counter and snapshot 0",
         qnhReader.datagramCounter.load() == 0 && qnhReader.counterSnapshot.load() == 0},
        {"traffic counter and snapshot left",
         trafficReader.datagramCounter.load() == 7 && trafficReader.counterSnapshot.load() == 6},
    };
    for (const Check& c : checks) {
        EXPECT_TRUE(c.holds) << c.name;
    }
}

} // namespace
} // namespace zeph
