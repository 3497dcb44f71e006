#include "core/generations.h"

#include <filesystem>

#include <gtest/gtest.h>

#include "core/log.h"
#include "support/log_fixture.h"

namespace zeph {
namespace {

using test::LogFixture;
using test::readFileBytes;
using test::writeFileBytes;

class Generations : public LogFixture {};

TEST_F(Generations, SaveOneGenerationCopiesOrReportsMissingAsFine) {
    writeFileBytes(dir() / "airport.xml", "learned");
    EXPECT_TRUE(gf_save1GenerationOf(dir() / "airport.xml"));
    EXPECT_EQ(readFileBytes(dir() / "airport0.xml"), "learned");
    EXPECT_EQ(readFileBytes(dir() / "airport.xml"), "learned") << "a copy, not a move";

    EXPECT_TRUE(gf_save1GenerationOf(dir() / "missing.xml"));
    EXPECT_FALSE(std::filesystem::exists(dir() / "missing0.xml"));
    EXPECT_TRUE(readLog().empty());
}

TEST_F(Generations, NameWithoutDotIsRefusedAndLogged) {
    writeFileBytes(dir() / "nodot", "x");
    EXPECT_FALSE(gf_save1GenerationOf("nodot"));
    EXPECT_FALSE(gf_saveUpto3GenerationsOf("nodot"));
    auto lines = readLog();
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0], "==> gf_save1GenerationOf: no dot in filename: nodot");
    EXPECT_EQ(lines[1], "==> gf_saveUpto3GenerationsOf: no dot in filename: nodot");
}

TEST_F(Generations, ThreeGenerationsMoveDownAndTheOldestIsOverwritten) {
    writeFileBytes("data.txt", "g0");
    writeFileBytes("data0.txt", "g1");
    writeFileBytes("data00.txt", "g2");
    writeFileBytes("data000.txt", "g3");
    EXPECT_TRUE(gf_saveUpto3GenerationsOf("data.txt"));
    EXPECT_EQ(readFileBytes("data.txt"), "g0");
    EXPECT_EQ(readFileBytes("data0.txt"), "g0");
    EXPECT_EQ(readFileBytes("data00.txt"), "g1");
    EXPECT_EQ(readFileBytes("data000.txt"), "g2");
}

TEST_F(Generations, AFailedStepIsLoggedAndTheRestStillRuns) {
    writeFileBytes("data.txt", "g0");
    writeFileBytes("data0.txt", "g1");
    writeFileBytes("data00.txt", "g2");
    std::filesystem::create_directory("data000.txt");
    EXPECT_FALSE(gf_saveUpto3GenerationsOf("data.txt"));
    EXPECT_EQ(readFileBytes("data00.txt"), "g1");
    EXPECT_EQ(readFileBytes("data0.txt"), "g0");
    auto lines = readLog();
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].rfind("==> copy data00.txt -> data000.txt failed: ", 0), 0u) << lines[0];
}

TEST_F(Generations, CopyStepLeavesOkAloneForAMissingSource) {
    bool ok = true;
    lf_copyGeneration(ok, "none.txt", "none0.txt");
    EXPECT_TRUE(ok);
    ok = false;
    writeFileBytes("some.txt", "x");
    lf_copyGeneration(ok, "some.txt", "some0.txt");
    EXPECT_FALSE(ok) << "a copy step never sets ok back to true";
    EXPECT_EQ(readFileBytes("some0.txt"), "x");
}

} // namespace
} // namespace zeph
