#include <stdexcept>

#include <gtest/gtest.h>

#include "app/window/ui.h"
#include "app/window/ui_headless.h"
#include "support/scoped_env.h"

namespace zeph {
namespace {

TEST(BackendChoice, TheVariableDecidesElseTheDisplay) {
    struct Case {
        const char* corvaneUi;
        const char* display;
        UiKind expected;
    };
    const Case cases[] = {
        {"fltk", nullptr, UiKind::Fltk},       {"fltk", "", UiKind::Fltk},
        {"headless", ":0", UiKind::Headless},  {nullptr, ":0", UiKind::Fltk},
        {nullptr, "", UiKind::Headless},       {nullptr, nullptr, UiKind::Headless},
        {"", ":1", UiKind::Fltk},              {"FLTK", "", UiKind::Headless},
        {"something", ":0", UiKind::Fltk},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(pickUiKind(c.corvaneUi, c.display), c.expected)
            << "CORVANE_UI=" << (c.corvaneUi ? c.corvaneUi : "(unset)")
            << " DISPLAY=" << (c.display ? c.display : "(unset)");
    }
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
