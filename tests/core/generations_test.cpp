#include "core/generations.h"

#include <filesystem>

#include <gtest/gtest.h>
#include <sys/resource.h>

#include "core/log.h"
#include "support/child_process.h"
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

// A copy step that fails (the older generation is a folder; the disk fills part way) leaves its target as it
// was and no temp file beside it, logs its line, and the steps after it still run.
TEST_F(Generations, AFailedStepIsLoggedKeepsItsTargetWholeAndTheRestStillRun) {
    struct Case {
        const char* name;
        bool (*save)(const std::filesystem::path&);
        std::size_t newestBytes; // of data.txt; data0.txt holds g1, data00.txt g2, data000.txt is a folder
        std::uint64_t sizeLimit; // how large a file may grow
        const char* kept;        // data0.txt and data00.txt
        const char* failedLine;
    };
    const std::vector<Case> cases = {
        {"the oldest is a folder", gf_saveUpto3GenerationsOf, 2, RLIM_INFINITY, "xx g1",
         "copy data00.txt -> data000.txt failed: Is a directory"},
        {"the disk fills part way through a copy", gf_save1GenerationOf, 64 * 1024, 16 * 1024, "g1 g2",
         "copy data.txt -> data0.txt failed: File too large"},
    };
    std::filesystem::create_directory("data000.txt");
    for (const Case& row : cases) {
        writeFileBytes("data.txt", std::string(row.newestBytes, 'x'));
        writeFileBytes("data0.txt", "g1");
        writeFileBytes("data00.txt", "g2");
        const auto save = [&] { return row.save("data.txt"); };
        EXPECT_EQ(test::runWithFileSizeLimit(row.sizeLimit, save), false) << row.name;
        // A cut copy shows its first bytes only.
        EXPECT_EQ((readFileBytes("data0.txt") + " " + readFileBytes("data00.txt")).substr(0, 20), row.kept)
            << row.name;
        EXPECT_TRUE(logHas(std::string("==> ") + row.failedLine)) << row.name;
        EXPECT_EQ(std::distance(std::filesystem::directory_iterator("."), {}), 5)
            << row.name << ": a temp file left";
    }
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
