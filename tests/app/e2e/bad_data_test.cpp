// A staged program whose sealed aircraft database is damaged, both in its folder and on the site: it says
// so, waits for the user, and closes cleanly when asked, without touching the simulator.
#include <chrono>
#include <thread>

#include <gtest/gtest.h>

#include "app/e2e/whole_run_fixture.h"
#include "support/temp_dir.h"

namespace zeph::test {
namespace {

void flipByte(const std::filesystem::path& file, std::size_t at) {
    std::string bytes = readFileBytes(file);
    ASSERT_GT(bytes.size(), at) << file;
    bytes[at] = static_cast<char>(bytes[at] ^ 0xff);
    writeFileBytes(file, bytes);
}

TEST(BadData, DamagedDatabaseStopsTheStartAndTheProgramStillClosesCleanly) {
    TempDir dir;
    DemoRun run;
    ASSERT_TRUE(stageInto(run, dir.path())) << run.staging.err;
    flipByte(run.stage / "input" / "dbase.enc", 30);
    flipByte(run.dest / "site" / "11" / "dbase.enc", 30);

    DemoProcess demo(run.dest, {"--build", buildDir().string(), "--in", run.dest.string(), "--headless"});
    ASSERT_TRUE(waitForLine(run.stage / "Log.txt", "Error input/dbase.enc stream decrypt failed", 60))
        << readFileBytes(run.dest / "demo.err");
    // The program waits for the user instead of ending by itself.
    std::this_thread::sleep_for(std::chrono::seconds(2));
    EXPECT_FALSE(std::filesystem::exists(run.stage / "demo" / "result.json"));

    const auto asked = std::chrono::steady_clock::now();
    demo.terminate();
    EXPECT_EQ(demo.wait(), 0) << readFileBytes(run.dest / "demo.err");
    EXPECT_LT(std::chrono::steady_clock::now() - asked, std::chrono::seconds(15));

    EXPECT_EQ(nlohmann::json::parse(readFileBytes(run.stage / "demo" / "result.json")).at("corvane"), 0);
    EXPECT_FALSE(std::filesystem::exists(run.stage / "input" / "dbase.xml"));
    const auto sim = standin::readRecord(run.stage / "demo" / "sim.jsonl");
    EXPECT_TRUE(sim.complete);
    EXPECT_TRUE(sim.opened.empty());
}

} // namespace
} // namespace zeph::test
