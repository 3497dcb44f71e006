#include <csignal>
#include <cstdint>
#include <optional>

#include <gtest/gtest.h>

#include <unistd.h>

#include "app/window/close_signals.h"
#include "support/slow_factor.h"
#include "support/window_fixture.h"
#include "test_window.h"

namespace zeph {
namespace {

using test::TestWindow;

class CloseSignalsThreads : public test::WindowFixture {
protected:
    // Blocked before the loop's thread and the watcher start, so that they inherit the mask and no signal
    // ends the test process.
    void SetUp() override {
        blockCloseSignals();
        ASSERT_NE(window.create(), nullptr);
        headless().clearRecords();
        loop().start();
    }

    void TearDown() override {
        if (loop().started()) {
            loop().stop();
        }
    }

    // Waits until the window has received `count` Close messages.
    bool waitForCloses(std::size_t count) {
        const auto deadline = std::chrono::steady_clock::now() + test::kLivenessBound * 5;
        while (headless().dispatchedCount(Msg::Close) < count) {
            if (std::chrono::steady_clock::now() > deadline) {
                return false;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        return true;
    }

    TestWindow window;
};

TEST_F(CloseSignalsThreads, EachSignalClosesTheWindow) {
    auto watcher = closeOnSignals(window.window());
    struct Case {
        int signal;
        const char* name;
    };
    const Case cases[] = {{SIGTERM, "SIGTERM"}, {SIGINT, "SIGINT"}, {SIGTERM, "SIGTERM again"}};
    std::size_t expected = 0;
    for (const Case& c : cases) {
        ASSERT_EQ(::kill(::getpid(), c.signal), 0) << c.name;
        ASSERT_TRUE(waitForCloses(++expected)) << c.name;
    }
    watcher->stop();
    watcher->stop(); // a second stop does nothing
    EXPECT_EQ(headless().dispatchedCount(Msg::Close), 3U);
}

TEST_F(CloseSignalsThreads, ASignalBeforeTheWatcherStartsIsNotLost) {
    ASSERT_EQ(::kill(::getpid(), SIGTERM), 0);
    {
        CloseSignalWatcher watcher(window.window());
        EXPECT_TRUE(waitForCloses(1));
    }
    EXPECT_EQ(headless().dispatchedCount(Msg::Close), 1U);
}

TEST_F(CloseSignalsThreads, AStoppedWatcherPostsNothing) {
    closeOnSignals(window.window())->stop();
    ASSERT_EQ(::kill(::getpid(), SIGINT), 0); // stays pending: blocked everywhere, and nobody waits for it
    headless().pump();
    EXPECT_EQ(headless().dispatchedCount(Msg::Close), 0U);
    sigset_t pending;
    sigpending(&pending);
    EXPECT_EQ(sigismember(&pending, SIGINT), 1);
    const sigset_t interrupt = [] {
        sigset_t set;
        sigemptyset(&set);
        sigaddset(&set, SIGINT);
        return set;
    }();
    const timespec now{0, 0};
    EXPECT_EQ(sigtimedwait(&interrupt, nullptr, &now), SIGINT) << "taken back, so no later test sees it";
}

} // namespace
} // namespace zeph
