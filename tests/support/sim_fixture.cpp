#include "support/sim_fixture.h"

#include <algorithm>
#include <condition_variable>
#include <fstream>
#include <mutex>

#include "app/entry_point.h"
#include "app/window/controls.h"
#include "core/log.h"
#include "core/run_flags.h"
#include "core/status_sink.h"
#include "platform/local_pipe.h"
#include "settings/control_sink.h"
#include "sim/definitions.h"
#include "sim/dispatch.h"
#include "sim/sim_link.h"
#include "sim/simconnect/calls.h"
#include "sim/simconnect/transport.h"
#include "simstandin/wire.h"
#include "state/exit_reason.h"
#include "state/status_line.h"
#include "support/log_fixture.h"
#include "support/parameters_files.h"

namespace zeph::test {

namespace fs = std::filesystem;

struct SimFixture::Notifications {
    std::mutex mutex;
    std::condition_variable changed;
    std::uint64_t count = 0;
};

namespace {

SimConnectTimings shortTimings() {
    SimConnectTimings timings;
    timings.closeBefore = std::chrono::milliseconds(10);
    timings.closeAfter = std::chrono::milliseconds(25);
    timings.transportPoll = std::chrono::milliseconds(10);
    timings.transportPolls = 5;
    timings.pipeBusyWait = std::chrono::milliseconds(200);
    timings.tcpConnectLimit = std::chrono::milliseconds(2000);
    return timings;
}

void resetRunState() {
    resetExitReasonForRestart();
    gf_resetSimLink();
}

} // namespace

std::string unknownMessage(std::uint32_t id) {
    std::string bytes;
    standin::appendU32(bytes, 12);
    standin::appendU32(bytes, standin::kProtocolPrepar3d);
    standin::appendU32(bytes, id);
    return bytes;
}

void SimFixture::SetUp() {
    for (const char* folder : {"home", "config", "run", "pipes", "documents", "public", "appdata"}) {
        fs::create_directories(temp_ / folder);
    }
    const std::pair<const char*, fs::path> places[] = {
        {"HOME", temp_ / "home"},
        {"XDG_CONFIG_HOME", temp_ / "config"},
        {"XDG_RUNTIME_DIR", temp_ / "run"},
        {"CORVANE_PIPE_DIR", temp_ / "pipes"},
        {"CORVANE_DOCUMENTS_DIR", temp_ / "documents"},
        {"CORVANE_PUBLIC_DOCUMENTS_DIR", temp_ / "public"},
        {"CORVANE_APPDATA_DIR", temp_ / "appdata"},
        {"CORVANE_REGISTRY_FILE", temp_ / "registry.reg"},
    };
    for (const auto& [name, path] : places) {
        env_.push_back(std::make_unique<ScopedEnv>(name, path.string()));
    }
    previousTimings_ = simConnectTimings();
    setSimConnectTimingsForTest(shortTimings());
    programDir_ = std::make_unique<ProgramDir>();
    fs::create_directories(programDir() / "docs");
    gf_openLog();
    resetParametersForTests(temp_ / "appdata");
    setStatusSink(&statusLineSink());
    setControlSink(&windowControlSink());
    window_ = std::make_unique<HeadlessWindowLoop>();
    const std::string title = ui().loadString(appTitleStringId);
    ASSERT_TRUE(ui().registerClass(title, lf_WndProc, appIconId));
    ASSERT_TRUE(initInstance(title));
    resetRunState();
    gf_initSimLink(5);
}

void SimFixture::TearDown() {
    stopClientThread();
    closeOwnConnection();
    if (standin_) {
        standin_->stop();
        standin_.reset();
    }
    resetRunState();
    window_.reset();
    setControlSink(nullptr);
    setStatusSink(nullptr);
    closeLogForTests();
    programDir_.reset();
    setSimConnectTimingsForTest(previousTimings_);
    env_.clear();
}

standin::StandinOptions SimFixture::standinOptions() {
    standin::StandinOptions options;
    options.manualFrames = true;
    options.manualClock = true;
    options.answerViolations = true;
    const auto path = LocalPipe::socketPath(pipeFullName(".", ""));
    if (path) {
        options.unixPath = path->string();
    }
    return options;
}

standin::SimStandin& SimFixture::startStandin(standin::StandinOptions options, bool tcp) {
    if (standin_) {
        standin_->stop();
    }
    if (tcp) {
        options.tcp4 = "127.0.0.1:0";
    }
    if (options.unixPath) {
        fs::create_directories(fs::path(*options.unixPath).parent_path());
    }
    standin_ = std::make_unique<standin::SimStandin>(options);
    standin_->start();
    if (tcp) {
        std::ofstream cfg(documents() / "SimConnect.cfg", std::ios::binary);
        cfg << "[SimConnect]\r\nProtocol=IPv4\r\nAddress=127.0.0.1\r\nPort="
            << standin_->tcp4Port().value_or(0) << "\r\n";
    }
    return *standin_;
}

void SimFixture::startClientThread() {
    stopClientThread();
    clientEnded_.store(false);
    clientThread_ = std::jthread([this](const std::stop_token& stop) {
        lf_simClientThread(stop);
        clientEnded_.store(true);
    });
}

bool SimFixture::waitForClientThreadEnd() {
    const auto deadline = std::chrono::steady_clock::now() + kLivenessBound;
    while (!clientEnded_.load() && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return clientEnded_.load();
}

void SimFixture::stopClientThread() {
    if (clientThread_.joinable()) {
        clientThread_.request_stop();
        clientThread_.join();
    }
}

void SimFixture::closeOwnConnection() {
    SimConnectClient* client = nullptr;
    {
        const std::lock_guard lock(simConnectMutex);
        client = simClientHandle;
        simClientHandle = nullptr;
    }
    if (client != nullptr) {
        SimConnect_Close(client);
    }
}

void SimFixture::openAsClientThread() {
    closeOwnConnection();
    SimConnectClient* client = nullptr;
    ASSERT_GE(SimConnect_Open(&client, "Corvane_P3D", nullptr, 0, nullptr, 0), 0) << "no connection";
    notifications_ = std::make_shared<Notifications>();
    lf_setNotifyTarget(
        client,
        [state = notifications_] {
            {
                const std::lock_guard lock(state->mutex);
                ++state->count;
            }
            state->changed.notify_all();
        },
        nullptr, 0, nullptr);
    {
        const std::lock_guard lock(simConnectMutex);
        simClientHandle = client;
    }
    lf_setupSimDefinitions();
}

bool SimFixture::pumpUntil(const std::function<bool()>& done, SimConnectDispatchProc procedure,
                           void* context) {
    if (procedure == nullptr) {
        procedure = lf_dispatchProc;
    }
    const auto deadline = std::chrono::steady_clock::now() + kLivenessBound;
    for (;;) {
        std::uint64_t seen = 0;
        {
            const std::lock_guard lock(notifications_->mutex);
            seen = notifications_->count;
        }
        SimConnect_CallDispatch(simClientHandle, procedure, context);
        if (done()) {
            return true;
        }
        std::unique_lock lock(notifications_->mutex);
        if (!notifications_->changed.wait_until(lock, deadline,
                                                [&] { return notifications_->count != seen; })) {
            lock.unlock();
            SimConnect_CallDispatch(simClientHandle, procedure, context);
            return done();
        }
    }
}

void SimFixture::injectAfterSent(const std::string& message) {
    waitUntilSentHandled();
    standin_->injectMessage(message);
}

void SimFixture::waitUntilSentHandled() {
    std::uint32_t sent = 0;
    if (simClientHandle != nullptr) {
        const PacketAreaLock lock;
        sent = lf_lastSentPacketId(lock, *simClientHandle);
    }
    EXPECT_TRUE(standin_->waitFor(
        [&] {
            const auto packets = standin_->packets().packets;
            return sent == 0 || (!packets.empty() && packets.back().sendId >= sent);
        },
        kLivenessBound))
        << "the stand-in has not handled packet " << sent;
}

void SimFixture::pumpPastMarker() {
    const std::string marker = "! Unknown Dispatch dwID 10";
    const std::size_t before = logCount(marker);
    injectAfterSent(unknownMessage(10));
    EXPECT_TRUE(pumpUntil([&] { return logCount(marker) > before; })) << "the marker never came";
}

std::vector<std::string> SimFixture::readLog() const { return readLogIn(programDir()); }

std::size_t SimFixture::logCount(const std::string& line) const {
    const auto lines = readLog();
    return static_cast<std::size_t>(std::count(lines.begin(), lines.end(), line));
}

bool SimFixture::waitForLog(const std::string& line, std::size_t count) const {
    const auto deadline = std::chrono::steady_clock::now() + kLivenessBound;
    while (std::chrono::steady_clock::now() < deadline) {
        if (logCount(line) >= count) {
            return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return logCount(line) >= count;
}

} // namespace zeph::test
