// Whole runs with RealTraffic on this PC, played by the RealTraffic stand-in: the handshake, the time and
// position lines, traffic and QNH through the readers, RealTraffic lost and back, a restart and the end.
#include <algorithm>
#include <chrono>
#include <cmath>
#include <ctime>
#include <filesystem>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include <fmt/format.h>
#include <gtest/gtest.h>

#include "app/entry_point.h"
#include "app/main_loop.h"
#include "app/window/controls.h"
#include "core/clock.h"
#include "core/log.h"
#include "core/status_sink.h"
#include "realtraffic/qnh.h"
#include "realtraffic/traffic_clock_source.h"
#include "realtraffic/traffic_reader.h"
#include "realtraffic/udp_readers.h"
#include "rtfeed/auto_traffic.h"
#include "rtfeed/rt_feed.h"
#include "settings/control_sink.h"
#include "settings/parameter_table.h"
#include "state/exit_reason.h"
#include "state/main_window_state.h"
#include "state/status_line.h"
#include "support/aircraft_fixture.h"
#include "support/eventually.h"
#include "support/free_port.h"
#include "support/log_fixture.h"
#include "support/parameters_files.h"
#include "support/recording_shell_open.h"
#include "support/reg_file_builder.h"
#include "support/run_parameters.h"
#include "support/run_simulator.h"
#include "support/scoped_env.h"
#include "support/sealed_files.h"
#include "support/slow_factor.h"
#include "support/temp_dir.h"
#include "support/window_fixture.h"
#include "traffic/traffic_tables.h"

namespace zeph {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

constexpr std::int64_t kSimSeconds = 1733560000;
constexpr GeoPoint kUser{52.3, 4.76};
constexpr Rgb kLimeGreen{50, 205, 50};
const auto kBound = test::kLivenessBound * 5;

using test::eventually;

double radians(double degrees) { return degrees * 0.017453292519943295; }

// What RealTraffic sends over UDP, to wherever the readers are bound now: 5 aircraft around the latest
// position the program reported, every second, and a QNH every 2 s. Stops with the object.
class UdpTraffic {
public:
    UdpTraffic(rtfeed::RtFeed& tcp, std::int32_t qnh) : tcp_(tcp), qnh_(qnh) {
        thread_ = std::jthread([this](const std::stop_token& stop) { run(stop); });
    }

private:
    void run(const std::stop_token& stop) {
        const auto start = Clock::now();
        std::unique_ptr<rtfeed::RtFeed> udp;
        for (int tick = 0; !stop.stop_requested(); ++tick) {
            const std::uint16_t trafficPort = trafficReader.boundPort();
            const std::uint16_t qnhPort = qnhReader.boundPort();
            // A restarted run binds new ports.
            if (!udp || udp->options().trafficPort != trafficPort || udp->options().qnhPort != qnhPort) {
                rtfeed::RtFeedOptions options;
                options.trafficPort = trafficPort;
                options.qnhPort = qnhPort;
                udp = std::make_unique<rtfeed::RtFeed>(options);
            }
            const auto position = tcp_.latestPosition();
            if (trafficPort != 0 && position) {
                const double elapsed = std::chrono::duration<double>(Clock::now() - start).count();
                for (const auto& line : rtfeed::autoTrafficLines(5, *position, elapsed,
                                                                 static_cast<double>(std::time(nullptr)))) {
                    udp->sendTraffic(line);
                }
            }
            if (qnhPort != 0 && tick % 2 == 0) {
                udp->sendQnh(fmt::format("{{\"QNH\":{}}}", qnh_));
            }
            std::this_thread::sleep_for(1s);
        }
    }

    rtfeed::RtFeed& tcp_;
    std::int32_t qnh_;
    std::jthread thread_;
};

// A run's surroundings as the program finds them on a user's PC: the program folder with "docs", the
// sample input/dbase.enc and the log, AppData with RealTraffic's marker, Prepar3D v5 in the registry,
// PORT_NUMBER on a free port, the headless window with the program's main window, and a simulator whose
// flight runs (the simulator stand-in on the local pipe: the user aircraft in flight at 52.3, 4.76, a
// simulator second every 200 ms).
class RunWithFeed : public ::testing::Test {
protected:
    void SetUp() override {
        for (const char* folder : {"home", "config", "run", "p3d/Scenery", "appdata/InsideSystems"}) {
            fs::create_directories(temp_ / folder);
        }
        env_.push_back(
            std::make_unique<test::ScopedEnv>("CORVANE_APPDATA_DIR", (temp_ / "appdata").string()));
        env_.push_back(
            std::make_unique<test::ScopedEnv>("CORVANE_REGISTRY_FILE", (temp_ / "registry.reg").string()));
        env_.push_back(std::make_unique<test::ScopedEnv>("XDG_RUNTIME_DIR", (temp_ / "run").string()));
        env_.push_back(std::make_unique<test::ScopedEnv>("HOME", (temp_ / "home").string()));
        env_.push_back(std::make_unique<test::ScopedEnv>("XDG_CONFIG_HOME", (temp_ / "config").string()));
        test::writeFileBytes(temp_ / "appdata" / "InsideSystems" / "RealTraffic.jar", "");
        test::RegFileBuilder()
            .header()
            .key("HKEY_LOCAL_MACHINE\\SOFTWARE\\Lockheed Martin\\Prepar3D v5")
            .stringValue("SetupPath", (temp_ / "p3d").string())
            .writeUtf16(temp_ / "registry.reg");
        programDir_ = std::make_unique<test::ProgramDir>();
        fs::create_directories(programDir_->path() / "docs");
        test::writeSampleDbase(programDir_->path());
        test::writeSampleAirports(programDir_->path());
        gf_openLog();
        test::resetParametersForTests(temp_ / "appdata");
        test::seedRunParameters(temp_ / "appdata", temp_.path());
        port_ = test::freeLoopbackPort();
        PORT_NUMBER.set(std::to_string(port_));
        setStatusSink(&statusLineSink());
        setControlSink(&windowControlSink());
        setTrafficClockSource(&realTrafficClockSource());
        window_ = std::make_unique<test::HeadlessWindowLoop>();
        const std::string title = ui().loadString(appTitleStringId);
        ASSERT_TRUE(ui().registerClass(title, lf_WndProc, appIconId));
        ASSERT_TRUE(initInstance(title));
        simulator_ = std::make_unique<test::RunSimulator>(kUser, false, kSimSeconds * 1000);
        simulator_->startSeconds(200ms);
    }

    void TearDown() override {
        if (window_->started()) {
            window_->headless().requestClose();
            if (!window_->waitForEnd(kBound)) {
                window_->stop();
            }
        }
        if (startThread.joinable()) {
            startThread.join();
        }
        stopSimClientThread();
        stopReaderThreads();
        simulator_.reset();
        window_.reset();
        setTrafficClockSource(nullptr);
        setControlSink(nullptr);
        setStatusSink(nullptr);
        closeLogForTests();
        programDir_.reset();
    }

    void startRun() {
        window_->start();
        ui().postMessage(mainWindowState.mainWindow.load(), startRunMessage, 0, 0);
    }

    std::vector<std::string> readLog() const { return test::readLogIn(programDir_->path(), true); }

    // The readers' log lines, which name a port that another process holds.
    std::string readerLines() const {
        std::string found;
        for (const std::string& line : readLog()) {
            found += line.find("Reader") != std::string::npos ? line + "\n" : "";
        }
        return found;
    }

    bool logHasLineEndingWith(const std::string& end) const {
        const auto lines = readLog();
        return std::any_of(lines.begin(), lines.end(),
                           [&](const std::string& line) { return line.ends_with(end); });
    }

    bool painted(const std::string& text, int x, int y, Rgb colour) {
        for (const DrawOp& op : window_->headless().paintNow()) {
            if (op.kind == DrawKind::Text && op.text == text && op.colour == colour &&
                (x < 0 || (op.x1 == x && op.y1 == y))) {
                return true;
            }
        }
        return false;
    }

    test::TestAircraft fleet_;
    test::TempDir temp_;
    test::RecordingShellOpen shellOpen_; // the scan opens no real folders
    std::vector<std::unique_ptr<test::ScopedEnv>> env_;
    std::unique_ptr<test::ProgramDir> programDir_;
    std::unique_ptr<test::HeadlessWindowLoop> window_;
    std::unique_ptr<test::RunSimulator> simulator_;
    std::uint16_t port_ = 0;
};

// The values of the simulator-time lines, in order.
std::vector<std::string> simTimeLines(const rtfeed::RtFeed& feed) {
    std::vector<std::string> values;
    for (const auto& line : feed.lines()) {
        if (line.text.starts_with("Qs123=")) {
            values.push_back(line.text.substr(6));
        }
    }
    return values;
}

// Position lines from line number from on that decode to the user aircraft's position.
std::size_t userPositionLinesFrom(const rtfeed::RtFeed& feed, std::size_t from) {
    std::size_t count = 0;
    const auto lines = feed.lines();
    for (std::size_t k = from; k < lines.size(); ++k) {
        const auto position = rtfeed::RtFeed::decodePositionLine(lines[k].text);
        if (position && std::fabs(radians(position->latitude) - radians(kUser.lat)) <= 1e-6 &&
            std::fabs(radians(position->longitude) - radians(kUser.lon)) <= 1e-6) {
            ++count;
        }
    }
    return count;
}

TEST_F(RunWithFeed, ARunTalksWithRealTrafficFromStartToEnd) {
    realTrafficUdpPorts = {0, 0};
    rtfeed::RtFeedOptions options;
    options.tcpPort = port_;
    rtfeed::RtFeed feed(options);
    const UdpTraffic udp(feed, 1008);
    startRun();
    ASSERT_TRUE(feed.connect(kBound));
    ASSERT_TRUE(feed.waitForLine("Qs999=version", kBound));

    // Time and position lines; traffic and QNH through the readers.
    ASSERT_TRUE(eventually([] { return trafficReader.lastReportTime() != 0.0; })) << "the first traffic";
    const std::size_t afterFirstTraffic = feed.lines().size();
    ASSERT_TRUE(eventually([&] { return userPositionLinesFrom(feed, afterFirstTraffic) >= 3; }));
    ASSERT_TRUE(eventually([&] { return simTimeLines(feed).size() >= 2; }))
        << "one per five simulator seconds";
    // The simulator's time as its user record last gave it, in milliseconds: its clock started at
    // kSimSeconds and has been advanced a second at a time since.
    const auto times = simTimeLines(feed);
    const std::int64_t clockSeconds = simulator_->standin().clockMs() / 1000;
    std::int64_t previous = 0;
    for (const std::string& value : times) {
        SCOPED_TRACE(value);
        ASSERT_TRUE(value.size() > 3 && value.ends_with("000"));
        const std::int64_t seconds = std::stoll(value) / 1000;
        EXPECT_GE(seconds, kSimSeconds);
        EXPECT_LE(seconds, clockSeconds);
        EXPECT_GE(seconds, previous) << "the time never goes back";
        previous = seconds;
    }
    EXPECT_TRUE(eventually([] { return currentQnh.load() == 1008; }));
    EXPECT_TRUE(eventually([&] { return painted("qnh: 1008", 642, 63, kLimeGreen); }));
    EXPECT_TRUE(painted("RT prof edition: 9.0.1", 458, 35, kLimeGreen));
    EXPECT_TRUE(eventually([&] { return painted("Traffic", -1, -1, kLimeGreen); }));
    const auto log = readLog();
    EXPECT_EQ(std::count(log.begin(), log.end(), "No traffic in this region?"), 0);

    // RealTraffic goes and comes back: no new handshake, the position lines go on.
    feed.disconnect();
    ASSERT_TRUE(eventually(
        [&] { return logHasLineEndingWith(" RealTraffic gone? Wait for RealTraffic to re-connect ..."); }));
    ASSERT_TRUE(feed.connect(kBound));
    ASSERT_TRUE(eventually([&] { return logHasLineEndingWith(" RealTraffic re-connected"); }));
    const std::size_t afterReconnect = feed.lines().size();
    ASSERT_TRUE(feed.waitForLine("Qs121=", kBound, afterReconnect));
    EXPECT_FALSE(feed.waitForLine("Qs999=", 0ms, afterReconnect));

    // New settings restart the run: "exit", then the new run listens on the same port and asks again.
    gf_setExitReason(ExitReason::NEW_SETTINGS, 2);
    ASSERT_TRUE(feed.waitForLine("exit", kBound, afterReconnect));
    ASSERT_TRUE(feed.waitForEof(kBound));
    ASSERT_TRUE(eventually([&] { return window_->headless().dispatchedCount(startRunMessage) >= 2; }));
    const std::size_t beforeRestart = feed.lines().size();
    ASSERT_TRUE(feed.connect(kBound + 2s));
    ASSERT_TRUE(feed.waitForLine("Qs999=version", kBound, beforeRestart));
    // The new run learned the user aircraft from the simulator again, over a connection of its own.
    const auto connections = simulator_->standin().connections();
    ASSERT_EQ(connections.size(), 2U);
    EXPECT_FALSE(connections[0].open) << "the first run closed its connection";
    EXPECT_TRUE(connections[1].open);
    ASSERT_TRUE(eventually([] { return trafficReader.lastReportTime() != 0.0; })) << "traffic in the new run";
    // A report is flown 30 s after it arrives, so the first creation comes that long after the first report;
    // the simulator's frames carry the creation out.
    ASSERT_TRUE(eventually(
        [&] {
            simulator_->standin().stepFrames(1);
            return std::ranges::any_of(simulator_->standin().created(),
                                       [](const standin::CreationRecord& record) {
                                           return record.objectId != 0 && record.title == "B738 Generic ZZZ";
                                       });
        },
        kBound + 30s))
        << "a feed aircraft created with the generic B738 livery";

    // The close button ends the program.
    const std::size_t beforeClose = feed.lines().size();
    window_->headless().requestClose();
    EXPECT_EQ(window_->waitForEnd(kBound), 0);
    if (startThread.joinable()) {
        startThread.join();
    }
    EXPECT_TRUE(logHasLineEndingWith("Exiting: USER CLOSED SIM"));
    EXPECT_TRUE(feed.waitForLine("exit", kBound, beforeClose));
    EXPECT_TRUE(feed.waitForEof(kBound));
    EXPECT_TRUE(std::any_of(liveAcTable.begin(), liveAcTable.end(), [](const LiveAc& aircraft) {
        return aircraft.hexid >= rtfeed::kFirstAutoHexid && aircraft.hexid < rtfeed::kFirstAutoHexid + 5;
    })) << "live aircraft from the feed";
}

// A bad PORT_NUMBER is a set-up failure: the run ends with SYSTEM ERROR instead of waiting on a wrong port.
TEST_F(RunWithFeed, ABadPortNumberEndsTheRunWithASystemError) {
    PORT_NUMBER.set("70000");
    startRun();
    ASSERT_TRUE(eventually([&] { return logHasLineEndingWith("Exiting: SYSTEM ERROR"); }));
    EXPECT_TRUE(logHasLineEndingWith("getaddrinfo failed with error 10109"));
    EXPECT_EQ(exitReason.load(), ExitReason::SYSTEM_ERROR);
}

// The readers on RealTraffic's own ports (the default), loopback only because RealTraffic runs here.
TEST_F(RunWithFeed, TheDefaultPortsTakeQnhAndTraffic) {
    realTrafficUdpPorts = RealTrafficUdpPorts{};
    rtfeed::RtFeedOptions options;
    options.tcpPort = port_;
    rtfeed::RtFeed feed(options);
    startRun();
    ASSERT_TRUE(feed.connect(kBound));
    ASSERT_TRUE(eventually([] {
        return trafficReader.boundPort() == 49005 && qnhReader.boundPort() == 49004;
    })) << readerLines();
    rtfeed::TrafficLine line;
    line.latitude = kUser.lat + 0.05;
    line.longitude = kUser.lon;
    line.time = static_cast<double>(std::time(nullptr));
    ASSERT_TRUE(eventually([&] {
        feed.sendQnh(R"({"QNH":1010})");
        feed.sendTraffic(line);
        return currentQnh.load() == 1010 && trafficReader.lastReportTime() == line.time;
    }));
}

} // namespace
} // namespace zeph
