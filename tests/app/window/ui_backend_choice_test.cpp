#include <stdexcept>

#include <gtest/gtest.h>

#include "app/window/ui.h"
#include "app/window/ui_headless.h"
#include "support/scoped_env.h"

namespace zeph {
namespace {

bool opens() { return true; }
bool staysShut() { return false; }

TEST(BackendChoice, TheVariableDecidesElseTheDisplay) {
    struct Case {
        const char* corvaneUi;
        const char* display;
        bool (*displayOpens)();
        UiKind expected;
    };
    const Case cases[] = {
        {"fltk", nullptr, opens, UiKind::Fltk},
        {"fltk", "", opens, UiKind::Fltk},
        {"headless", ":0", opens, UiKind::Headless},
        {nullptr, ":0", opens, UiKind::Fltk},
        {nullptr, "", opens, UiKind::Headless},
        {nullptr, nullptr, opens, UiKind::Headless},
        {"", ":1", opens, UiKind::Fltk},
        {"FLTK", "", opens, UiKind::Headless},
        {"something", ":0", opens, UiKind::Fltk},
        // A DISPLAY whose server does not answer: the toolkit would end the process at its first window.
        {nullptr, ":99", staysShut, UiKind::Headless},
        {"fltk", ":99", staysShut, UiKind::Fltk},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(pickUiKind(c.corvaneUi, c.display, c.displayOpens), c.expected)
            << "CORVANE_UI=" << (c.corvaneUi ? c.corvaneUi : "(unset)")
            << " DISPLAY=" << (c.display ? c.display : "(unset)");
    }
}

TEST(BackendChoice, ADisplayWithoutServerDoesNotOpen) {
    test::ScopedEnv display("DISPLAY", ":7391");
    EXPECT_FALSE(canOpenDisplay());
}

TEST(BackendChoice, HeadlessWinsOverADisplayAndIsPickedOnce) {
    test::ScopedEnv choice("CORVANE_UI", "headless");
    test::ScopedEnv display("DISPLAY", ":99");
    UiBackend& first = uiInit();
    EXPECT_NE(dynamic_cast<HeadlessUi*>(&first), nullptr);
    EXPECT_EQ(&ui(), &first);
    test::ScopedEnv later("CORVANE_UI", "fltk");
    EXPECT_EQ(&uiInit(), &first) << "a second uiInit keeps the first choice";
    EXPECT_EQ(&headlessUi(), &first);
}

} // namespace
} // namespace zeph
