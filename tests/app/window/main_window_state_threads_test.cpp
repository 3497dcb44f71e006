#include <algorithm>
#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include <fmt/format.h>
#include <gtest/gtest.h>

#include "app/window/status_display.h"
#include "app/window/test_window.h"
#include "app/window/ui_headless.h"
#include "state/main_window_state.h"
#include "state/status_line.h"
#include "support/window_fixture.h"

namespace zeph {
namespace {

constexpr int writers = 4;
constexpr int writesPerThread = 2000;

// Passes every op to the real painter and keeps the texts drawn at one place (GUI thread only).
class WatchingPainter final : public Painter {
public:
    WatchingPainter(Painter& inner, std::vector<std::string>& seen) : inner_(inner), seen_(seen) {}
    void fillRect(const Rect& area, Rgb colour) override { inner_.fillRect(area, colour); }
    void line(int x1, int y1, int x2, int y2, Rgb colour) override { inner_.line(x1, y1, x2, y2, colour); }
    void text(int x, int y, std::string_view utf8, Rgb colour) override {
        if ((x == 5 && y == 63) || (x == 3 && y == 455) || (x == 5 && y == 399)) {
            seen_.emplace_back(utf8);
        }
        inner_.text(x, y, utf8, colour);
    }

private:
    Painter& inner_;
    std::vector<std::string>& seen_;
};

// A text every writer makes the same way, so that a reader can tell a whole one from a torn one.
std::string writtenText(std::string_view what, int thread, int n) {
    return fmt::format("{}-{}-{:04}-{}", what, thread, n, std::string(static_cast<std::size_t>(n % 40), 'x'));
}

bool isWholeText(const std::string& text) {
    if (text.empty() || text == "final title" || text == "final status" || text == "FINL") {
        return true;
    }
    for (const char* what : {"title", "status", "code"}) {
        for (int thread = 0; thread < writers; ++thread) {
            const std::string prefix = fmt::format("{}-{}-", what, thread);
            if (!text.starts_with(prefix) || text.size() < prefix.size() + 4) {
                continue;
            }
            const std::string digits = text.substr(prefix.size(), 4);
            if (!std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; })) {
                return false;
            }
            return text == writtenText(what, thread, std::stoi(digits));
        }
    }
    return false;
}

class MainWindowStateThreads : public test::WindowFixture {
protected:
    void SetUp() override {
        window_.paint = [this](Painter& painter) {
            WatchingPainter watching(painter, seen_);
            lf_paintStatus(watching);
        };
        ASSERT_NE(window_.create(), nullptr);
        mainWindowState.mainWindow = window_.window();
        mainWindowState.simConnected = true;
        mainWindowState.parkFileFound = true;
        headless().setRecording(false);
        loop().start();
    }

    void TearDown() override {
        if (loop().started()) {
            loop().stop();
        }
    }

    test::TestWindow window_;
    std::vector<std::string> seen_; // written by the GUI thread, read after the loop has ended
};

TEST_F(MainWindowStateThreads, WritersOnManyThreadsWhileTheWindowPaints) {
    std::atomic<bool> go{false};
    std::vector<std::jthread> threads;
    for (int t = 0; t < writers; ++t) {
        threads.emplace_back([t, &go] {
            while (!go.load()) {
                std::this_thread::yield();
            }
            for (int n = 0; n < writesPerThread; ++n) {
                gf_setStatus(writtenText("status", t, n), false);
                mainWindowState.setUserAcTitle(writtenText("title", t, n));
                mainWindowState.setParkAirportCode(writtenText("code", t, n));
                mainWindowState.liveCount.fetch_add(1, std::memory_order_relaxed);
                mainWindowState.trafficReaderState.store(1 + n % 3, std::memory_order_relaxed);
                if (t == 0) {
                    lf_advanceStatusClock();
                }
            }
        });
    }
    go = true;
    threads.clear(); // joins

    mainWindowState.setUserAcTitle("final title");
    mainWindowState.setParkAirportCode("FINL");
    gf_setStatus("final status", false);
    headless().pump();
    const std::vector<DrawOp> last = headless().lastPaint();
    EXPECT_EQ(loop().stop(), 0);

    EXPECT_EQ(mainWindowState.liveCount.load(), static_cast<std::uint64_t>(writers * writesPerThread));
    EXPECT_NE(std::find(last.begin(), last.end(), DrawOp::textAt(5, 63, "final title", {255, 255, 0})),
              last.end())
        << "the paint after the writers shows the last title";
    EXPECT_NE(std::find(last.begin(), last.end(), DrawOp::textAt(3, 455, "final status", {255, 255, 0})),
              last.end());
    EXPECT_NE(std::find(last.begin(), last.end(), DrawOp::textAt(5, 399, "FINL", {50, 205, 50})), last.end());
    ASSERT_FALSE(seen_.empty());
    for (const std::string& text : seen_) {
        EXPECT_TRUE(isWholeText(text)) << text;
    }
}

TEST_F(MainWindowStateThreads, ErrorAndStatusWritersAgreeOnTheLine) {
    std::vector<std::jthread> threads;
    threads.emplace_back([] {
        for (int n = 0; n < writesPerThread; ++n) {
            gf_setStatus(writtenText("status", 1, n), false);
        }
    });
    threads.emplace_back([] {
        for (int n = 0; n < writesPerThread; ++n) {
            gf_setErrorStatus(writtenText("status", 2, n));
            if (n % 2 == 0) {
                const std::lock_guard lock(mainWindowState.statusMutex);
                mainWindowState.errorText.clear();
            }
        }
    });
    threads.emplace_back([] {
        for (int n = 0; n < writesPerThread; ++n) {
            lf_advanceStatusClock();
        }
    });
    threads.clear();
    headless().pump();
    EXPECT_EQ(loop().stop(), 0);

    const std::lock_guard lock(mainWindowState.statusMutex);
    EXPECT_EQ(mainWindowState.statusClock, writesPerThread);
    EXPECT_EQ(mainWindowState.errorText, writtenText("status", 2, writesPerThread - 1));
    EXPECT_EQ(mainWindowState.statusSetAt, 0) << "an error text is never timed";
    for (const std::string& text : seen_) {
        EXPECT_TRUE(isWholeText(text)) << text;
    }
}

} // namespace
} // namespace zeph
