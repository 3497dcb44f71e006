#include "platform/win_path.h"

#include <gtest/gtest.h>

#include "support/temp_dir.h"

namespace zeph {
namespace {

namespace fs = std::filesystem;

TEST(WinPath, NamesResolveAsWindowsFindsThem) {
    test::TempDir dir;
    fs::create_directories(dir.path() / "model.abc" / "Sub");
    fs::create_directories(dir.path() / "texture");
    test::writeFileBytes(dir.path() / "b738.air", "");
    test::writeFileBytes(dir.path().parent_path() / "outside.air", "");
    struct Case {
        const char* relative;
        WinKind kind;
    };
    const Case cases[] = {
        {"MODEL.ABC", WinKind::directory},      {"texture.", WinKind::directory},
        {"model.abc\\sub", WinKind::directory}, {"model.abc/SUB/", WinKind::none},
        {"B738.AIR .", WinKind::regular},       {"../outside.air", WinKind::none},
        {"/b738.air", WinKind::none},           {"C:b738.air", WinKind::none},
        {"missing/x", WinKind::none},
    };
    for (const Case& c : cases) {
        std::error_code error;
        EXPECT_EQ(winResolve(dir.path(), c.relative, error), c.kind) << c.relative;
        EXPECT_FALSE(error) << c.relative;
    }
    EXPECT_EQ(winNameKey("Texture.klm. . "), "TEXTURE.KLM");
}

} // namespace
} // namespace zeph
