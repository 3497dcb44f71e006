#pragma once
#include <chrono>
#include <future>
#include <optional>
#include <thread>

#include <gtest/gtest.h>

#include "app/window/ui_headless.h"
#include "state/window_port.h"
#include "support/scoped_env.h"

namespace zeph::test {

// The headless window layer for an in-process test. CORVANE_UI is set to headless before uiInit(), so every
// test gets the headless backend whatever DISPLAY says, and the backend starts fresh. The message loop can
// run on a thread the object owns; it is ended and joined at the end at the latest. mainWindowState and the
// display flags start at their start values and are reset again at the end.
class HeadlessWindowLoop {
public:
    HeadlessWindowLoop();
    ~HeadlessWindowLoop();
    HeadlessWindowLoop(const HeadlessWindowLoop&) = delete;
    HeadlessWindowLoop& operator=(const HeadlessWindowLoop&) = delete;

    HeadlessUi& headless() { return *headless_; }

    // Runs the message loop on the owned thread, which is the GUI thread from then on; returns once it runs.
    void start();
    // Waits for the loop to end by itself (a postQuit of the code under test); its exit code, or nothing
    // when it still runs after the timeout.
    std::optional<int> waitForEnd(std::chrono::milliseconds timeout);
    // Posts a quit when the loop still runs, joins it and returns its exit code.
    int stop();
    bool started() const { return thread_.joinable(); }

private:
    ScopedEnv backendChoice_;
    HeadlessUi* headless_ = nullptr;
    std::future<int> result_;
    std::jthread thread_;
    WindowPort* previousPort_ = nullptr;
};

// A test fixture with a HeadlessWindowLoop; the loop is not started until the test calls start().
class WindowFixture : public ::testing::Test {
protected:
    HeadlessUi& headless() { return loop_.headless(); }
    HeadlessWindowLoop& loop() { return loop_; }

private:
    HeadlessWindowLoop loop_;
};

} // namespace zeph::test
