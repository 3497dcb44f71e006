#pragma once
#include <chrono>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "run_fixture.h"
#include "support/eventually.h"
#include "support/slow_factor.h"

namespace zeph::test {

// Whole runs: the message loop on the fixture's thread, the runs on their start-up threads, as the entry
// point drives them. Prepar3D v5 is in the registry with an install folder that has "Scenery", so a run
// gets as far as the wait for the simulator unless a test changes that.
class RunThreadsFixture : public RunFixture {
protected:
    void SetUp() override;
    void TearDown() override;

    std::filesystem::path simulatorDir() const { return temp() / "p3d"; }

    // Starts the message loop and posts the start of a run.
    void startRun();
    // The close button.
    void close();
    // The loop's exit code once the program ended by itself.
    std::optional<int> waitForEnd(std::chrono::milliseconds timeout = kLivenessBound * 5);
    // Closes the window and waits for the end; then joins the run and puts every run value back, so the next
    // run in this process starts as the first one did (restartPending stays false).
    void closeAndForget();
    // Puts every run value back after a run that ended.
    void forgetRun();

    int logCount(const std::string& line) const;
    std::string statusText() const;
    std::string errorText() const;
    std::size_t runsStarted();

    // Polls until condition holds; false when it still does not after the liveness bound.
    template <class Condition> static bool eventually(Condition condition) {
        return test::eventually(condition);
    }

    // A run has reached the wait for the simulator once more since the last call.
    bool waitForNextSimulatorWait();

private:
    int simulatorWaits_ = 0;
};

} // namespace zeph::test
