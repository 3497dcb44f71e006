// The stand-in's record: what it writes reads back as the journal it keeps, and the run's summary comes
// from it.
#include <gtest/gtest.h>

#include <fstream>
#include <utility>

#include "simstandin/record.h"
#include "simstandin/recorder.h"
#include "simstandin/summary.h"
#include "support/child_process.h"
#include "tools/simstandin/standin_fixture.h"

namespace zeph::test {
namespace {

// The I/O thread writes the record while the test's thread drives the stand-in.
class StandinRecordThreads : public StandinTest {};

TEST_F(StandinRecordThreads, TheRecordReadsBackAsTheJournalAndSumsUp) {
    const auto file = dir() / "sim.jsonl";
    standin::StandinOptions options;
    options.recordFile = file.string();
    options.recordEvery = 2;
    options.recordStatsEvery = std::chrono::milliseconds(1);
    restart(options);
    standin().setGround(364.0);
    standin().refuseTitles({"Sample A388 Emirates"});
    const std::int64_t before = standin::Recorder::wallMs();
    RawClient client = setUpClient();
    send(client, sc::aiCreate(client.nextSendId(), "Sample A388 Emirates", "UAE45", {}));
    send(client,
         sc::aiCreate(client.nextSendId(), "Sample B77W Emirates", "UAE45", {})); // 364 ft: on the ground
    sc::Init high;
    high.alt = 4364.0;
    send(client, sc::aiCreate(client.nextSendId(), "Sample A320 Condor", "CFG123", high));
    send(client, sc::aiCreate(client.nextSendId(), "Sample A320 Lufthansa", "DLH401*", {}));
    waitHandled();
    standin().stepFrames(4);
    send(client, sc::flightPlan(client.nextSendId(), 101, (dir() / "none.pln").string()));
    send(client, sc::aiRemove(client.nextSendId(), 101));
    for (const auto& made : standin().created()) {
        if (made.tailNumber == "DLH401*") {
            send(client, sc::aiRemove(client.nextSendId(), made.objectId)); // the static, during the run
        }
    }
    std::string unknownId = sc::groupPriority(client.nextSendId(), 301, 1);
    sc::put32(unknownId, 8, 0xF0000002);
    send(client, unknownId);
    waitHandled();
    client = RawClient();
    ASSERT_TRUE(standin().waitFor([&] { return standin().removed().size() == 3; }, std::chrono::seconds(10)));
    standin().stop();

    const standin::Record record = standin::readRecord(file);
    EXPECT_TRUE(record.complete);
    const auto created = standin().created();
    ASSERT_EQ(record.created.size(), created.size());
    for (std::size_t k = 0; k < created.size(); ++k) {
        const standin::CreationRecord& read = record.created[k].entry;
        EXPECT_EQ(read.tailNumber, created[k].tailNumber);
        EXPECT_EQ(read.title, created[k].title);
        EXPECT_EQ(read.objectId, created[k].objectId);
        EXPECT_EQ(read.sendId, created[k].sendId);
        EXPECT_EQ(read.refused, created[k].refused);
        EXPECT_EQ(read.init.alt, created[k].init.alt);
        EXPECT_GE(record.created[k].at.wallMs, before);
        EXPECT_EQ(record.created[k].at.utcMs, standin().clockMs());
    }
    EXPECT_EQ(record.created[0].entry.code, 22U) << "the refusal keeps its exception code";
    ASSERT_EQ(record.removed.size(), 3U);
    EXPECT_EQ(record.removed[0].entry.reason, "request");
    EXPECT_EQ(record.removed[2].entry.reason, "disconnect");
    ASSERT_EQ(record.flightPlans.size(), 1U);
    EXPECT_FALSE(record.flightPlans[0].entry.accepted);
    ASSERT_EQ(record.violations.size(), 1U);
    EXPECT_EQ(record.violations[0].entry.text, standin().violations()[0].text);
    ASSERT_EQ(record.opened.size(), 1U);
    ASSERT_EQ(record.closed.size(), 1U);
    EXPECT_EQ(record.closed[0].entry.packets, standin().connections().at(0).packets);
    EXPECT_EQ(record.opened[0].entry.packets, 0U);

    // Frames 2 and 4, each with the three objects alive then.
    ASSERT_EQ(record.positions.size(), 6U);
    for (const auto& [at, p] : record.positions) {
        EXPECT_EQ(p.onGround, p.tail != "CFG123") << p.tail;
        EXPECT_EQ(p.frame % 2, 0U);
    }

    ASSERT_FALSE(record.stats.empty());
    EXPECT_EQ(record.stats.back().entry.packets, record.closed[0].entry.packets);
    EXPECT_EQ(record.stats.back().entry.violations, 1U);

    const standin::RunSummary summary =
        standin::summarize(record, "10:00:03 A3      : DLH401*  parked\n10:00:04 A10     : DLH4AB   parks\n");
    EXPECT_EQ(
        standin::summaryLines(summary),
        (std::vector<std::string>{
            "live aircraft created 2 (1 refused by the simulator, created again), removed 1, flight plans 1",
            "take-offs 0, landings 0", "static aircraft placed 1: A3, removed during the run 1: A3",
            "protocol violations 1"}));
    standin::Record flown = record; // at frame 4 UAE45 in the air, CFG123 and the static on the ground
    for (auto& [at, p] : flown.positions) {
        p.onGround = p.frame == 4 ? !p.onGround : p.onGround;
    }
    const standin::RunSummary flownSummary = standin::summarize(flown, "");
    EXPECT_EQ(std::pair(flownSummary.takeOffs, flownSummary.landings), std::pair(1, 1))
        << "a static object neither takes off nor lands";
    EXPECT_EQ(standin::nowLine(summary), "live aircraft in the simulator 0, static 0")
        << "all removed at the end";
    standin::Record unremoved = record;
    unremoved.removed.clear();
    EXPECT_EQ(standin::nowLine(standin::summarize(unremoved, "")),
              "live aircraft in the simulator 2, static 1")
        << "before the first removal";
}

TEST(StandinRecordLines, BrokenLinesAreNamedAndACutLastLineIsLeftOut) {
    const std::string end = R"({"kind":"end","utc_ms":1,"wall_ms":2})";
    const std::string removed =
        R"({"kind":"removed","utc_ms":1,"wall_ms":2,"objectId":100,"connection":1,"reason":"request"})";
    struct Case {
        const char* name;
        std::string text;
        std::string error; // empty: read
        std::size_t removals;
        bool complete;
    };
    const std::vector<Case> cases = {
        {"empty", "", "", 0, false},
        {"whole", removed + "\n" + end + "\n", "", 1, true},
        {"cut short", removed + "\n" + end.substr(0, 10), "", 1, false},
        {"not JSON", removed + "\n{oops\n", "record line 2: ", 0, false},
        {"unknown kind",
         R"({"kind":"dance","utc_ms":1,"wall_ms":2})"
         "\n",
         "record line 1: unknown kind", 0, false},
        {"missing field",
         R"({"kind":"removed","utc_ms":1,"wall_ms":2})"
         "\n",
         "record line 1: ", 0, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        try {
            const standin::Record record = standin::parseRecord(c.text);
            EXPECT_TRUE(c.error.empty());
            EXPECT_EQ(record.removed.size(), c.removals);
            EXPECT_EQ(record.complete, c.complete);
        } catch (const standin::RecordError& e) {
            EXPECT_TRUE(std::string(e.what()).starts_with(c.error) && !c.error.empty()) << e.what();
        }
    }
}

TEST(StandinRecorder, AWriteErrorStopsRecordingWithOneLine) {
    standin::Recorder recorder("/dev/full", 3);
    recorder.note(standin::RemovalRecord{100, 1, "request"}, 0);
    ::testing::internal::CaptureStderr();
    recorder.write(recorder.take());
    recorder.note(standin::RemovalRecord{101, 1, "request"}, 0);
    recorder.write(recorder.take());
    const std::string err = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(err, "simstandin: recording stopped: cannot write /dev/full: No space left on device\n");
}

TEST(StandinSummaryProgram, PrintsTheRunsLinesAndSaysWhenTheRecordIsCut) {
    TempDir dir;
    standin::CreationRecord live{1, 5, 104, 100, "Sample A320 Lufthansa", "DLH4AB", {}, false, 0};
    standin::CreationRecord statics{1, 6, 104, 101, "Sample A320 Lufthansa", "DLH401*", {}, false, 0};
    const std::string lines = standin::recordLine({}, live) + "\n" + standin::recordLine({}, statics) + "\n";
    std::ofstream(dir / "whole.jsonl") << lines << standin::closingRecordLine({}) << "\n";
    std::ofstream(dir / "cut.jsonl") << lines;
    std::ofstream(dir / "Log.txt") << "A3      : DLH401   parked\n";
    struct Case {
        std::vector<std::string> args;
        int exitCode;
        std::string out;
    };
    const std::string text = "live aircraft created 1, removed 0, flight plans 0\ntake-offs 0, landings 0\n"
                             "static aircraft placed 1: A3\nprotocol violations 0\n";
    const std::vector<Case> cases = {
        {{"whole.jsonl", "--log", "Log.txt"}, 0, text},
        {{"whole.jsonl", "--json", "--log", "Log.txt"},
         0,
         R"({"createdAgain":0,"flightPlans":0,"landings":0,"liveCreated":1,"refused":0,"removed":0,)"
         R"("statics":["A3"],"staticsRemoved":[],"takeOffs":0,"violations":0})"
         "\n"},
        {{"whole.jsonl"},
         0,
         "live aircraft created 1, removed 0, flight plans 0\ntake-offs 0, landings 0\n"
         "static aircraft placed 1: DLH401*\nprotocol violations 0\n"},
        {{"cut.jsonl", "--log", "Log.txt"}, 1, text},
        {{"missing.jsonl"}, 2, ""},
        {{}, 2, ""},
    };
    for (const Case& c : cases) {
        const ChildResult result = runChild(SIMSTANDIN_SUMMARY_EXE, c.args, dir.path());
        EXPECT_EQ(result.exitCode, c.exitCode) << result.err;
        EXPECT_EQ(result.out, c.out);
        EXPECT_EQ(result.err.find("record incomplete") != std::string::npos, c.exitCode == 1) << result.err;
    }
}

} // namespace
} // namespace zeph::test
