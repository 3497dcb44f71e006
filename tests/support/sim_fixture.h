#pragma once
#include <atomic>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <stop_token>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "sim/simconnect/client.h"
#include "simstandin/standin.h"
#include "support/scoped_env.h"
#include "support/slow_factor.h"
#include "support/temp_dir.h"
#include "support/window_fixture.h"

namespace zeph::test {

// The simulator link against an in-process simulator stand-in. Every place the program looks for the
// simulator (the pipe folder, Documents with SimConnect.cfg, the registry) is a temp folder; the program
// folder holds Log.txt; the parameters are at their defaults; the headless window has the main window with
// its controls. The close waits of the client are short (10 ms before, 25 ms after). The link's state is
// reset before and after each test.
//
// Two ways to drive the link: the real client thread (startClientThread), or the test thread playing the
// client thread (openAsClientThread, then pump*), which alone may fill pendingCreations or simUserData.
class SimFixture : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Strict, manual frames and clock, listening on the default pipe of the local machine.
    static standin::StandinOptions standinOptions();
    // Starts the stand-in; with tcp also on 127.0.0.1 with a free port, named in SimConnect.cfg in
    // Documents.
    standin::SimStandin& startStandin(standin::StandinOptions options = standinOptions(), bool tcp = false);
    standin::SimStandin& standin() { return *standin_; }

    // The real client thread, and its stop and join.
    void startClientThread();
    void stopClientThread();
    // Waits until the client thread's procedure has returned, without asking it to stop.
    bool waitForClientThreadEnd();
    std::jthread& clientThread() { return clientThread_; }

    // Opens a connection as the client thread does, stores it in simClientHandle and declares the
    // definitions. Fails the test when no connection can be made.
    void openAsClientThread();
    // Closes the connection the test thread opened, if any.
    void closeOwnConnection();
    // Dispatches on the test thread until done holds (true) or the time is up (false); waits for the
    // client's notifications in between, never sleeps.
    // Another procedure (with its context) may stand in for the program's.
    bool pumpUntil(const std::function<bool()>& done, SimConnectDispatchProc procedure = nullptr,
                   void* context = nullptr);
    // Injects a message once the stand-in has handled every packet this test's connection has sent, so it
    // comes after their replies.
    void injectAfterSent(const std::string& message);
    // Waits until the stand-in has handled every packet this test's connection has sent.
    void waitUntilSentHandled();
    // Sends an unknown message (id 10) after everything sent before and dispatches until its log line is
    // there: whatever came before has been handled.
    void pumpPastMarker();

    // Log.txt's lines without the banner, flushed first.
    std::vector<std::string> readLog() const;
    std::size_t logCount(const std::string& line) const;
    // Waits (re-reading Log.txt) until line is there count times.
    bool waitForLog(const std::string& line, std::size_t count = 1) const;

    HeadlessUi& headless() { return window_->headless(); }
    HeadlessWindowLoop& windowLoop() { return *window_; }
    const std::filesystem::path& programDir() const { return programDir_->path(); }
    std::filesystem::path documents() const { return temp_ / "documents"; }

private:
    struct Notifications;

    TempDir temp_;
    std::vector<std::unique_ptr<ScopedEnv>> env_;
    std::unique_ptr<ProgramDir> programDir_;
    std::unique_ptr<HeadlessWindowLoop> window_;
    SimConnectTimings previousTimings_;
    std::unique_ptr<standin::SimStandin> standin_;
    std::shared_ptr<Notifications> notifications_;
    std::atomic<bool> clientEnded_{false};
    std::jthread clientThread_;
};

// The message id 10 that no handler knows, as the stand-in's codec writes a message.
std::string unknownMessage(std::uint32_t id);

} // namespace zeph::test
