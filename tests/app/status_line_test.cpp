#include <functional>
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "app/window/status_display.h"
#include "app/window/ui.h"
#include "app/window/ui_headless.h"
#include "core/run_flags.h"
#include "core/status_sink.h"
#include "state/main_window_state.h"
#include "state/status_line.h"
#include "support/log_fixture.h"
#include "support/window_fixture.h"

namespace zeph {
namespace {

std::intptr_t statusWindowProc(WindowHandle window, unsigned msg, std::uintptr_t wParam,
                               std::intptr_t lParam) {
    if (msg == Msg::Paint) {
        lf_paintStatus(*reinterpret_cast<Painter*>(wParam));
        return 0;
    }
    return ui().defWindowProc(window, msg, wParam, lParam);
}

// A program folder with Log.txt open, the headless layer and a main window whose invalidations are recorded.
class StatusLine : public test::LogFixture {
protected:
    void SetUp() override {
        LogFixture::SetUp();
        openWindow();
    }

    void TearDown() override {
        runStopping = false;
        userStopped = false;
        LogFixture::TearDown();
    }

    // Each case of a table starts as a test does: a fresh log, window and state.
    void freshCase() {
        TearDown();
        LogFixture::SetUp();
        openWindow();
    }

    void openWindow() {
        runStopping = false;
        userStopped = false;
        loop_.headless().reset();
        resetMainWindowStateForTests();
        ASSERT_TRUE(ui().registerClass("StatusLineTest", statusWindowProc, appIconId));
        mainWindowState.mainWindow = ui().createMainWindow("StatusLineTest", "Status", 0, 0, 880, 476);
        ASSERT_NE(mainWindowState.mainWindow.load(), nullptr);
        loop_.headless().clearRecords();
    }

    struct Shown {
        std::string status;
        std::string error;
        std::int32_t clock = 0;
        std::int32_t setAt = 0;
    };

    static Shown shown() {
        const std::lock_guard lock(mainWindowState.statusMutex);
        return {mainWindowState.statusText, mainWindowState.errorText, mainWindowState.statusClock,
                mainWindowState.statusSetAt};
    }

    static void advance(int seconds) {
        for (int i = 0; i < seconds; ++i) {
            lf_advanceStatusClock();
        }
    }

    std::vector<Rect> invalidations() { return loop_.headless().invalidations(); }

public:
    // The text drawn on the status line by a paint now, if any.
    std::optional<std::string> paintedStatus() {
        for (const DrawOp& op : loop_.headless().paintNow()) {
            if (op.kind == DrawKind::Text && op.x1 == 3 && op.y1 == 455) {
                return op.text;
            }
        }
        return std::nullopt;
    }

private:
    test::HeadlessWindowLoop loop_;
};

TEST_F(StatusLine, TextsErrorsAndTheirLogLines) {
    struct Case {
        const char* name;
        std::function<void()> actions;
        std::string status;
        std::string error;
        std::vector<std::string> log;
    };
    const std::vector<Case> cases{
        {"a logged text is a plain line", [] { gf_setStatus("hello", true); }, "hello", "", {"hello"}},
        {"an unlogged text", [] { gf_setStatus("quiet", false); }, "quiet", "", {}},
        {"a later text replaces the first",
         [] {
             gf_setStatus("first", false);
             gf_setStatus("second", false);
         },
         "second",
         "",
         {}},
        {"an error refuses a later text and its log line",
         [] {
             gf_setErrorStatus("x");
             gf_setStatus("y", true);
         },
         "",
         "x",
         {"Error x"}},
        {"an error empties the normal text",
         [] {
             gf_setStatus("normal", false);
             gf_setErrorStatus("broken");
         },
         "",
         "broken",
         {"Error broken"}},
        {"two errors: the second shows, both logged",
         [] {
             gf_setErrorStatus("one");
             gf_setErrorStatus("two");
         },
         "",
         "two",
         {"Error one", "Error two"}},
        {"runStopping: shown, not logged",
         [] {
             runStopping = true;
             gf_setStatus("closing", true);
         },
         "closing",
         "",
         {}},
        {"userStopped: shown, not logged",
         [] {
             userStopped = true;
             gf_setStatus("closing", true);
         },
         "closing",
         "",
         {}},
        {"an error while stopping is not logged",
         [] {
             userStopped = true;
             gf_setErrorStatus("late");
         },
         "",
         "late",
         {}},
        {"an empty text with log writes nothing", [] { gf_setStatus("", true); }, "", "", {}},
        {"clear empties the text",
         [] {
             gf_setStatus("gone soon", false);
             gf_clearStatus();
         },
         "",
         "",
         {}},
        {"clear leaves an error",
         [] {
             gf_setErrorStatus("stays");
             gf_clearStatus();
         },
         "",
         "stays",
         {"Error stays"}},
        {"the status hook of core reaches the line",
         [] {
             setStatusSink(&statusLineSink());
             reportStatus("via hook", true);
             setStatusSink(nullptr);
         },
         "via hook",
         "",
         {"via hook"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        freshCase();
        c.actions();
        const Shown now = shown();
        EXPECT_EQ(now.status, c.status);
        EXPECT_EQ(now.error, c.error);
        EXPECT_EQ(readLog(), c.log);
        if (!now.error.empty()) {
            EXPECT_EQ(now.setAt, 0) << "an error text is never timed";
        }
    }
}

TEST_F(StatusLine, NormalTextGoesAfter25SecondsOfFlight) {
    struct Case {
        const char* name;
        int secondsBefore;   // clock advances before the text is set
        std::int32_t setAt;  // statusSetAt right after
        int stillShownAfter; // advances after which it is still there
        int clearedAfter;    // advances after which it is gone
    };
    const std::vector<Case> cases{
        {"set before the first second", 0, 1, 25, 26},
        {"set at second 10", 10, 10, 24, 25},
        {"set at second 1", 1, 1, 24, 25},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        freshCase();
        advance(c.secondsBefore);
        gf_setStatus("timed", false);
        EXPECT_EQ(shown().setAt, c.setAt);
        advance(c.stillShownAfter);
        EXPECT_EQ(shown().status, "timed") << "clock " << shown().clock;
        advance(c.clearedAfter - c.stillShownAfter);
        EXPECT_EQ(shown().status, "") << "clock " << shown().clock;
        EXPECT_EQ(shown().setAt, 0);
        EXPECT_EQ(shown().clock, c.secondsBefore + c.clearedAfter);
    }
}

TEST_F(StatusLine, NewTextRestartsTheTimeoutAndErrorsNeverTimeOut) {
    gf_setStatus("old", false);
    advance(20);
    gf_setStatus("new", false);
    EXPECT_EQ(shown().setAt, 20);
    advance(24);
    EXPECT_EQ(shown().status, "new") << "the old text's 25 seconds do not count for the new one";
    advance(1);
    EXPECT_EQ(shown().status, "");

    gf_setErrorStatus("sticky");
    advance(1000);
    EXPECT_EQ(shown().error, "sticky");
    EXPECT_EQ(shown().setAt, 0);
}

TEST_F(StatusLine, EachChangeAsksForARepaintOfTheStatusLineOnly) {
    struct Case {
        const char* name;
        std::function<void(StatusLine&)> actions;
        std::size_t invalidations;
    };
    const std::vector<Case> cases{
        {"set", [](StatusLine&) { gf_setStatus("a", false); }, 1},
        {"set logged", [](StatusLine&) { gf_setStatus("a", true); }, 1},
        {"error", [](StatusLine&) { gf_setErrorStatus("e"); }, 1},
        {"clear", [](StatusLine&) { gf_clearStatus(); }, 1},
        {"timeout after a paint",
         [](StatusLine& test) {
             gf_setStatus("a", false);
             test.paintedStatus();
             advance(30);
         },
         2},
        {"a second without a timeout", [](StatusLine&) { advance(1); }, 0},
        {"a text refused under an error",
         [](StatusLine& test) {
             gf_setErrorStatus("e");
             test.paintedStatus();
             gf_setStatus("refused", true);
         },
         1},
        {"each change after a paint",
         [](StatusLine& test) {
             gf_setStatus("a", false);
             test.paintedStatus();
             gf_setErrorStatus("e");
             test.paintedStatus();
             gf_setStatus("refused", false);
             gf_clearStatus();
         },
         2},
        {"changes between two paints ask once",
         [](StatusLine&) {
             gf_setStatus("a", false);
             gf_setStatus("b", true);
             gf_setErrorStatus("c");
         },
         1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        freshCase();
        c.actions(*this);
        const std::vector<Rect> seen = invalidations();
        EXPECT_EQ(seen.size(), c.invalidations);
        for (const Rect& area : seen) {
            EXPECT_EQ(area, (Rect{0, 448, 880, 476}));
        }
    }
}

TEST_F(StatusLine, ThePaintAfterManyWritesShowsTheLastText) {
    for (int n = 0; n < 100; ++n) {
        gf_setStatus("file " + std::to_string(n), false);
    }
    EXPECT_EQ(invalidations().size(), 1U);
    EXPECT_EQ(paintedStatus(), "file 99");
    gf_setStatus("after the paint", false);
    EXPECT_EQ(invalidations().size(), 2U) << "a paint read the texts, so the next change asks again";
    EXPECT_EQ(paintedStatus(), "after the paint");
    advance(26);
    EXPECT_EQ(invalidations().size(), 3U);
    EXPECT_EQ(paintedStatus(), std::nullopt) << "the timed-out text is gone from the screen";
}

TEST_F(StatusLine, WorksWithoutAWindow) {
    mainWindowState.mainWindow = nullptr;
    gf_setStatus("no window yet", true);
    gf_setErrorStatus("still none");
    EXPECT_EQ(shown().error, "still none");
    EXPECT_TRUE(invalidations().empty());
    EXPECT_EQ(readLog(), (std::vector<std::string>{"no window yet", "Error still none"}));
}

} // namespace
} // namespace zeph
