#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "app/window/ui.h"
#include "support/slow_factor.h"
#include "support/window_fixture.h"
#include "test_window.h"

namespace zeph {
namespace {

using test::TestWindow;

constexpr ControlId editId = 32828;
constexpr ControlId buttonId = 32829;
constexpr unsigned holdMsg = Msg::App + 3;
constexpr unsigned countedMsg = Msg::App + 5;

// A gate the GUI thread waits at inside a handler, so that the loop is held while other threads work.
class Gate {
public:
    void waitInside() {
        std::unique_lock lock(mutex_);
        inside_ = true;
        changed_.notify_all();
        changed_.wait(lock, [this] { return open_; });
    }
    bool waitUntilInside() {
        std::unique_lock lock(mutex_);
        return changed_.wait_for(lock, test::kLivenessBound * 5, [this] { return inside_; });
    }
    void open() {
        std::lock_guard lock(mutex_);
        open_ = true;
        changed_.notify_all();
    }

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    bool inside_ = false;
    bool open_ = false;
};

class UiQueuesThreads : public test::WindowFixture {
protected:
    void SetUp() override {
        window.onMessage = [this](unsigned msg, std::uintptr_t wParam, std::intptr_t lParam) {
            return handle(msg, wParam, lParam);
        };
        ASSERT_NE(window.create(), nullptr);
    }

    // A failed check may leave the loop running, or held at the gate.
    void TearDown() override {
        gate.open();
        if (loop().started()) {
            loop().stop();
        }
    }

    std::optional<std::intptr_t> handle(unsigned msg, std::uintptr_t wParam, std::intptr_t lParam) {
        if (msg == holdMsg) {
            gate.waitInside();
            return 0;
        }
        if (msg == countedMsg) {
            received.emplace_back(wParam, lParam);
            textsSeen.push_back(ui().getText(window.control(editId)));
            return 0;
        }
        if (msg == Msg::Command) {
            commandThreads.push_back(std::this_thread::get_id());
            guiThreadAnswers.push_back(ui().isGuiThread());
            return 0;
        }
        return std::nullopt;
    }

    TestWindow window{{{ControlKind::Edit, editId, "0", Rect::fromSize(107, 259, 100, 16)},
                       {ControlKind::PushButton, buttonId, "Unblock", Rect::fromSize(223, 257, 60, 20)}}};
    Gate gate;
    // Written on the GUI thread only; read after the loop has been stopped and joined.
    std::vector<std::pair<std::uintptr_t, std::intptr_t>> received;
    std::vector<std::string> textsSeen;
    std::vector<std::thread::id> commandThreads;
    std::vector<bool> guiThreadAnswers;
};

TEST_F(UiQueuesThreads, PostsArriveInEachSendersOrder) {
    constexpr int senders = 4;
    constexpr int posts = 1000;
    loop().start();
    {
        std::vector<std::jthread> threads;
        for (int sender = 0; sender < senders; ++sender) {
            threads.emplace_back([this, sender] {
                for (int k = 0; k < posts; ++k) {
                    ui().postMessage(window.window(), countedMsg, static_cast<std::uintptr_t>(sender), k);
                }
            });
        }
    }
    EXPECT_EQ(loop().stop(), 0);
    ASSERT_EQ(received.size(), static_cast<std::size_t>(senders * posts));
    std::vector<std::intptr_t> next(senders, 0);
    for (const auto& [sender, sequence] : received) {
        ASSERT_LT(sender, static_cast<std::uintptr_t>(senders));
        EXPECT_EQ(sequence, next[sender]) << "sender " << sender;
        next[sender] = sequence + 1;
    }
}

TEST_F(UiQueuesThreads, OperationsQueuedBeforeAPostAreAppliedWhenItIsDispatched) {
    constexpr int rounds = 300;
    loop().start();
    {
        std::jthread worker([this] {
            for (int k = 1; k <= rounds; ++k) {
                ui().setText(window.control(editId), std::to_string(k));
                ui().postMessage(window.window(), countedMsg, static_cast<std::uintptr_t>(k), 0);
            }
        });
    }
    loop().stop();
    ASSERT_EQ(received.size(), static_cast<std::size_t>(rounds));
    for (std::size_t k = 0; k < received.size(); ++k) {
        // Later operations may have been applied as well; never fewer.
        EXPECT_GE(std::stoi(textsSeen[k]), static_cast<int>(received[k].first))
            << "post " << received[k].first;
    }
}

TEST_F(UiQueuesThreads, AWorkersOperationWaitsForTheGuiThread) {
    std::jthread([this] { ui().setText(window.control(editId), "from a worker"); }).join();
    EXPECT_EQ(headless().control(editId)->text, "0") << "queued, not applied on the worker";
    headless().pump();
    EXPECT_EQ(headless().control(editId)->text, "from a worker");
}

TEST_F(UiQueuesThreads, TheLoopReturnsTheQuitCode) {
    loop().start();
    std::jthread([] { ui().postQuit(7); }).join();
    EXPECT_EQ(loop().waitForEnd(test::kLivenessBound * 5), 7);
}

TEST_F(UiQueuesThreads, AFloodOfInvalidationsWhileTheLoopIsHeldPaintsOnce) {
    constexpr int senders = 4;
    constexpr int calls = 2500;
    loop().start();
    ui().postMessage(window.window(), holdMsg, 0, 0);
    ASSERT_TRUE(gate.waitUntilInside());
    headless().clearRecords();
    {
        std::vector<std::jthread> threads;
        for (int sender = 0; sender < senders; ++sender) {
            threads.emplace_back([this] {
                const Rect status{0, 448, 880, 476};
                for (int k = 0; k < calls; ++k) {
                    ui().invalidate(window.window(), &status);
                }
            });
        }
    } // every sender finished while the loop was held: none of them waited for it
    EXPECT_EQ(headless().invalidations().size(), static_cast<std::size_t>(senders * calls));
    gate.open();
    headless().pump();
    EXPECT_EQ(headless().dispatchedCount(Msg::Paint), 1U);
    loop().stop();
}

TEST_F(UiQueuesThreads, UserActionsRunOnTheLoopsThread) {
    loop().start();
    ASSERT_TRUE(headless().click(buttonId));
    ASSERT_TRUE(headless().click(buttonId));
    EXPECT_FALSE(ui().isGuiThread()) << "the test thread while the loop runs elsewhere";
    loop().stop();
    ASSERT_EQ(commandThreads.size(), 2U);
    EXPECT_NE(commandThreads[0], std::this_thread::get_id());
    EXPECT_EQ(commandThreads[0], commandThreads[1]);
    EXPECT_EQ(guiThreadAnswers, (std::vector<bool>{true, true}));
}

} // namespace
} // namespace zeph
