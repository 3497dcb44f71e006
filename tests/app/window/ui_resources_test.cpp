#include <set>
#include <tuple>

#include <gtest/gtest.h>

#include "app/window/ui.h"
#include "support/window_fixture.h"

namespace zeph {
namespace {

TEST(Resources, TheTitleIsTheProgramsName) {
    struct Case {
        unsigned id;
        const char* text;
    };
    const Case cases[] = {{101, "Corvane_P3D"}, {100, ""}, {102, ""}, {0, ""}};
    for (const Case& c : cases) {
        EXPECT_EQ(resourceString(c.id), c.text) << "string " << c.id;
    }
}

TEST(Resources, TheIconIsA32By32ImageOfSeveralColours) {
    const IconImage* icon = resourceIcon(appIconId);
    ASSERT_NE(icon, nullptr);
    EXPECT_EQ(icon->width, 32);
    EXPECT_EQ(icon->height, 32);
    ASSERT_EQ(icon->rgb.size(), 32U * 32U * 3U);
    std::set<std::tuple<int, int, int>> colours;
    for (std::size_t k = 0; k < icon->rgb.size(); k += 3) {
        colours.emplace(icon->rgb[k], icon->rgb[k + 1], icon->rgb[k + 2]);
    }
    EXPECT_GE(colours.size(), 2U);
    EXPECT_EQ(resourceIcon(101), nullptr);
    EXPECT_EQ(resourceIcon(appIconId), icon) << "one image for every caller";
}

class ResourceStrings : public test::WindowFixture {};

TEST_F(ResourceStrings, ARemovedStringIsNotFound) {
    EXPECT_EQ(headless().loadString(appTitleStringId), "Corvane_P3D");
    headless().removeString(appTitleStringId);
    EXPECT_EQ(headless().loadString(appTitleStringId), "");
    EXPECT_EQ(resourceString(appTitleStringId), "Corvane_P3D") << "the resource itself stays";
}

} // namespace
} // namespace zeph
