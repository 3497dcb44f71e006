#include "core/program.h"

#include <gtest/gtest.h>

#include "core/version.h"

namespace zeph {
namespace {

TEST(Program, VersionTextAndConstantAgree) {
    EXPECT_EQ(gf_versionText(programVersion), programVersionText);
    EXPECT_EQ(programId, "Corvane_P3D");
    EXPECT_EQ(simulatorKind.load(), 3);
}

} // namespace
} // namespace zeph
