#include <cstdint>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "app/window/ui.h"
#include "support/window_fixture.h"
#include "test_window.h"

namespace zeph {
namespace {

using test::TestWindow;

constexpr Rgb black{0, 0, 0};
constexpr Rgb yellow{255, 255, 0};
constexpr Rgb white{255, 255, 255};
constexpr ControlId editId = 32788;

std::vector<unsigned> messagesOf(const std::vector<DispatchedMessage>& dispatched) {
    std::vector<unsigned> messages;
    for (const auto& message : dispatched) {
        messages.push_back(message.msg);
    }
    return messages;
}

class HeadlessWindow : public test::WindowFixture {};

TEST_F(HeadlessWindow, AClassIsRegisteredOnce) {
    TestWindow window;
    EXPECT_TRUE(ui().registerClass("Corvane_P3D", nullptr, appIconId));
    EXPECT_FALSE(ui().registerClass("Corvane_P3D", nullptr, appIconId));
    EXPECT_TRUE(ui().registerClass("Other", nullptr, appIconId));
}

TEST_F(HeadlessWindow, CreateIsDispatchedBeforeTheWindowIsReturned) {
    TestWindow window;
    WindowHandle seenInCreate = nullptr;
    window.onMessage = [&](unsigned msg, std::uintptr_t, std::intptr_t) -> std::optional<std::intptr_t> {
        if (msg == Msg::Create) {
            seenInCreate = window.window();
        }
        return std::nullopt;
    };
    const WindowHandle created = window.create(400, 20, 880, 476);
    ASSERT_NE(created, nullptr);
    EXPECT_EQ(seenInCreate, created);
    ASSERT_FALSE(headless().dispatched().empty());
    EXPECT_EQ(headless().dispatched().front().msg, Msg::Create);
    EXPECT_EQ(ui().windowRect(created), (Rect{400, 20, 1280, 496})) << "the client area at the position";
}

TEST_F(HeadlessWindow, CreationFailsWithoutAWindowProcedureCall) {
    struct Case {
        const char* name;
        bool knownClass;
        bool injected;
        bool createAnswersFailure;
        std::vector<unsigned> messages;
    };
    const Case cases[] = {
        {"unknown class", false, false, false, {}},
        {"injected failure", true, true, false, {}},
        {"Create answers -1", true, false, true, {Msg::Create, Msg::Destroy}},
    };
    for (const Case& c : cases) {
        headless().reset();
        TestWindow window;
        window.onMessage = [&](unsigned msg, std::uintptr_t, std::intptr_t) -> std::optional<std::intptr_t> {
            if (msg == Msg::Create && c.createAnswersFailure) {
                return -1;
            }
            return std::nullopt;
        };
        if (c.injected) {
            headless().failWindowCreation();
        }
        const WindowHandle created =
            c.knownClass ? window.create() : ui().createMainWindow("NoSuchClass", "Test", 0, 0, 880, 476);
        EXPECT_EQ(created, nullptr) << c.name;
        EXPECT_EQ(messagesOf(headless().dispatched()), c.messages) << c.name;
    }
    headless().reset();
    TestWindow window;
    headless().failWindowCreation();
    EXPECT_EQ(window.create(), nullptr);
    EXPECT_NE(window.create(), nullptr) << "only the next creation fails";
}

TEST_F(HeadlessWindow, TheMovedRectangleIsReported) {
    TestWindow window;
    ASSERT_NE(window.create(30, 40, 880, 476), nullptr);
    headless().setWindowRect(Rect{-40000, 5, -39120, 481});
    EXPECT_EQ(ui().windowRect(window.window()), (Rect{-40000, 5, -39120, 481}));
    EXPECT_EQ(ui().windowRect(nullptr), Rect{});
}

TEST_F(HeadlessWindow, TheDefaultCloseDestroysTheWindow) {
    TestWindow window;
    ASSERT_NE(window.create(), nullptr);
    headless().clearRecords();
    headless().requestClose();
    EXPECT_EQ(messagesOf(headless().dispatched()), std::vector<unsigned>{Msg::Close})
        << "the test window stays";
    EXPECT_TRUE(ui().isEnabled(window.window()));

    headless().clearRecords();
    ui().defWindowProc(window.window(), Msg::Close, 0, 0);
    EXPECT_EQ(messagesOf(headless().dispatched()), std::vector<unsigned>{Msg::Destroy});
    EXPECT_FALSE(ui().isEnabled(window.window()));
    EXPECT_FALSE(ui().update(window.window()));
    ui().postMessage(window.window(), Msg::App + 1, 0, 0);
    headless().pump();
    EXPECT_EQ(messagesOf(headless().dispatched()), std::vector<unsigned>{Msg::Destroy}) << "nothing after it";
    EXPECT_EQ(ui().defWindowProc(window.window(), Msg::Command, 5, 0), 0);
}

TEST_F(HeadlessWindow, PostedMessagesWaitForTheLoop) {
    TestWindow window;
    ASSERT_NE(window.create(), nullptr);
    headless().clearRecords();
    EXPECT_TRUE(ui().postMessage(window.window(), Msg::App + 1, 7, -3));
    EXPECT_FALSE(ui().postMessage(nullptr, Msg::App + 1, 0, 0));
    EXPECT_TRUE(headless().dispatched().empty()) << "posting dispatches nothing by itself";
    headless().pump();
    const auto dispatched = headless().dispatched();
    ASSERT_EQ(dispatched.size(), 1U);
    EXPECT_EQ(dispatched[0].msg, Msg::App + 1);
    EXPECT_EQ(dispatched[0].wParam, 7U);
    EXPECT_EQ(dispatched[0].lParam, -3);
    EXPECT_EQ(dispatched[0].window, window.window());
}

TEST_F(HeadlessWindow, InvalidationsAreRecordedAndPaintOnce) {
    TestWindow window;
    window.paint = [](Painter& painter) {
        painter.fillRect(Rect{0, 0, 880, 28}, black);
        painter.line(0, 28, 880, 28, white);
        painter.text(3, 455, "status\tline", yellow);
    };
    ASSERT_NE(window.create(), nullptr);
    headless().pump();
    headless().clearRecords();
    const Rect settings{0, 112, 880, 392};
    ui().invalidate(window.window(), &settings);
    ui().invalidate(window.window(), nullptr);
    ui().invalidate(nullptr, &settings);
    EXPECT_EQ(headless().invalidations(), (std::vector<Rect>{settings, Rect{0, 0, 880, 476}}));
    EXPECT_EQ(headless().dispatchedCount(Msg::Paint), 0U) << "painting waits for the loop";
    headless().pump();
    EXPECT_EQ(headless().dispatchedCount(Msg::Paint), 1U);
    EXPECT_EQ(headless().lastPaint(), (std::vector<DrawOp>{DrawOp::fill(Rect{0, 0, 880, 28}, black),
                                                           DrawOp::line(0, 28, 880, 28, white),
                                                           DrawOp::textAt(3, 455, "status line", yellow)}));
    headless().pump();
    EXPECT_EQ(headless().dispatchedCount(Msg::Paint), 1U) << "nothing invalid, no paint";
    EXPECT_EQ(headless().paintNow().size(), 3U);
    EXPECT_EQ(headless().dispatchedCount(Msg::Paint), 2U);
}

TEST_F(HeadlessWindow, WithoutRecordingNothingIsKeptButTheLatestPaint) {
    TestWindow window;
    window.paint = [](Painter& painter) { painter.text(3, 455, "status", yellow); };
    ASSERT_NE(window.create(), nullptr);
    headless().setRecording(false);
    headless().clearRecords();
    ui().invalidate(window.window(), nullptr);
    ui().postMessage(window.window(), Msg::App + 1, 0, 0);
    ui().messageBox("text", "Corvane", Icon::Exclamation);
    headless().pump();
    EXPECT_TRUE(headless().invalidations().empty());
    EXPECT_TRUE(headless().dispatched().empty());
    EXPECT_TRUE(headless().messageBoxes().empty());
    EXPECT_EQ(headless().lastPaint(), std::vector<DrawOp>{DrawOp::textAt(3, 455, "status", yellow)});
    headless().reset();
    // A fresh window on the reset backend is recorded again.
    ASSERT_NE(window.create(), nullptr);
    EXPECT_FALSE(headless().dispatched().empty()) << "reset turns recording on";
}

TEST_F(HeadlessWindow, UpdatePaintsWhatIsInvalidNow) {
    TestWindow window;
    ASSERT_NE(window.create(), nullptr);
    headless().pump();
    headless().clearRecords();
    struct Case {
        bool invalidate;
        std::size_t paints;
    };
    const Case cases[] = {{true, 1}, {false, 1}, {true, 2}};
    for (const Case& c : cases) {
        if (c.invalidate) {
            ui().invalidate(window.window(), nullptr);
        }
        EXPECT_TRUE(ui().update(window.window()));
        EXPECT_EQ(headless().dispatchedCount(Msg::Paint), c.paints) << "invalidated " << c.invalidate;
    }
    EXPECT_FALSE(ui().update(nullptr));
}

TEST_F(HeadlessWindow, AWindowNotShownIsNotPainted) {
    ui().registerClass(
        "Hidden",
        [](WindowHandle w, unsigned msg, std::uintptr_t wp, std::intptr_t lp) {
            return ui().defWindowProc(w, msg, wp, lp);
        },
        appIconId);
    const WindowHandle hidden = ui().createMainWindow("Hidden", "Hidden", 0, 0, 100, 100);
    ASSERT_NE(hidden, nullptr);
    ui().invalidate(hidden, nullptr);
    headless().pump();
    EXPECT_EQ(headless().dispatchedCount(Msg::Paint), 0U);
    ui().show(hidden);
    ui().invalidate(hidden, nullptr);
    headless().pump();
    EXPECT_EQ(headless().dispatchedCount(Msg::Paint), 1U);
}

TEST_F(HeadlessWindow, AHandlerReadsBackWhatItWrites) {
    TestWindow window({{ControlKind::Edit, editId, "", Rect::fromSize(111, 119, 1200, 16)}});
    std::string readBack;
    window.onMessage = [&](unsigned msg, std::uintptr_t, std::intptr_t) -> std::optional<std::intptr_t> {
        if (msg == Msg::App + 4) {
            ui().setText(window.control(editId), "written");
            readBack = ui().getText(window.control(editId));
            return 0;
        }
        return std::nullopt;
    };
    ASSERT_NE(window.create(), nullptr);
    ui().postMessage(window.window(), Msg::App + 4, 0, 0);
    headless().pump();
    EXPECT_EQ(readBack, "written");
}

TEST_F(HeadlessWindow, WritesDuringAPaintWaitUntilItEnds) {
    TestWindow window({{ControlKind::Edit, editId, "before", Rect::fromSize(111, 119, 1200, 16)}});
    std::vector<std::string> seenInPaint;
    window.paint = [&](Painter&) {
        ui().setText(window.control(editId), "after");
        seenInPaint.push_back(ui().getText(window.control(editId)));
    };
    ASSERT_NE(window.create(), nullptr);
    headless().paintNow();
    EXPECT_EQ(seenInPaint, std::vector<std::string>{"before"});
    headless().pump();
    EXPECT_EQ(ui().getText(window.control(editId)), "after");
}

TEST_F(HeadlessWindow, AQuitEndsTheLoopAfterTheMessagesBeforeIt) {
    TestWindow window;
    ASSERT_NE(window.create(), nullptr);
    headless().clearRecords();
    ui().postMessage(window.window(), Msg::App + 1, 1, 0);
    ui().postQuit(7);
    ui().postMessage(window.window(), Msg::App + 1, 2, 0);
    headless().pump();
    EXPECT_EQ(headless().dispatched().size(), 1U) << "pump stops at the quit";
    EXPECT_EQ(ui().runMessageLoop(), 7);
    const auto dispatched = headless().dispatched();
    ASSERT_EQ(dispatched.size(), 1U) << "the message after the quit waits";
    EXPECT_EQ(dispatched[0].wParam, 1U);
}

} // namespace
} // namespace zeph
