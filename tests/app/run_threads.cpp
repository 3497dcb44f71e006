#include "run_threads.h"

#include <algorithm>
#include <mutex>

#include "app/closing_down.h"
#include "app/entry_point.h"
#include "app/main_loop.h"
#include "app/startup_thread.h"
#include "state/exit_reason.h"
#include "state/main_window_state.h"

namespace zeph::test {

void RunThreadsFixture::SetUp() {
    RunFixture::SetUp();
    std::filesystem::create_directories(simulatorDir() / "Scenery");
    writeRegistry(true, simulatorDir().string(), false, "");
}

void RunThreadsFixture::TearDown() {
    if (loop().started()) {
        close();
        if (!loop().waitForEnd(kLivenessBound * 5)) {
            loop().stop();
        }
    }
    if (startThread.joinable()) {
        startThread.join();
    }
    stopSimClientThread();
    stopReaderThreads();
    setStartUpHookForTests(nullptr);
    RunFixture::TearDown();
}

void RunThreadsFixture::startRun() {
    loop().start();
    ui().postMessage(mainWindowState.mainWindow.load(), startRunMessage, 0, 0);
}

void RunThreadsFixture::close() { headless().requestClose(); }

std::optional<int> RunThreadsFixture::waitForEnd(std::chrono::milliseconds timeout) {
    const auto code = loop().waitForEnd(timeout);
    if (code && startThread.joinable()) {
        startThread.join();
    }
    return code;
}

void RunThreadsFixture::closeAndForget() {
    close();
    EXPECT_EQ(waitForEnd(), 0);
    forgetRun();
}

void RunThreadsFixture::forgetRun() {
    stopSimClientThread();
    stopReaderThreads();
    lf_resetForRestart();
    resetExitReasonForRestart(); // the restart's reset keeps the close; the next test starts without it
    restartPending.store(false);
}

int RunThreadsFixture::logCount(const std::string& line) const {
    const auto lines = readLog();
    return static_cast<int>(std::count(lines.begin(), lines.end(), line));
}

std::string RunThreadsFixture::statusText() const {
    const std::lock_guard lock(mainWindowState.statusMutex);
    return mainWindowState.statusText;
}

std::string RunThreadsFixture::errorText() const {
    const std::lock_guard lock(mainWindowState.statusMutex);
    return mainWindowState.errorText;
}

std::size_t RunThreadsFixture::runsStarted() { return headless().dispatchedCount(startRunMessage); }

bool RunThreadsFixture::waitForNextSimulatorWait() {
    ++simulatorWaits_;
    return eventually([&] { return logCount("Waiting for Prepar3Dv5 ...") >= simulatorWaits_; });
}

} // namespace zeph::test
