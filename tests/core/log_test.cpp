#include "core/log.h"

#include <algorithm>
#include <atomic>
#include <cctype>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>
#include <sys/resource.h>

#include "support/child_process.h"
#include "support/log_fixture.h"
#include "support/temp_dir.h"

namespace zeph {
namespace {

using test::LogFixture;
using test::ProgramDir;
using test::readFileBytes;
using test::readFileLines;

// Tells whether a banner line has the fixed shape "Www Mmm dd hh:mm:ss yyyy (utc) Corvane_P3D version ...".
bool isBanner(const std::string& line) {
    const std::string tail = " (utc) Corvane_P3D version 11.10.5 for Prepar3D v5/v6";
    if (line.size() != 24 + tail.size() || line.substr(24) != tail) {
        return false;
    }
    static const std::vector<std::string> days = {"Mon", "Tue", "Wed", "Thu", "Fri", "Sat", "Sun"};
    bool dayOk = std::find(days.begin(), days.end(), line.substr(0, 3)) != days.end();
    auto digit = [&](std::size_t k) { return std::isdigit(static_cast<unsigned char>(line[k])) != 0; };
    bool shapeOk = line[3] == ' ' && std::isupper(static_cast<unsigned char>(line[4])) && line[7] == ' ' &&
                   digit(8) && digit(9) && line[10] == ' ' && digit(11) && digit(12) && line[13] == ':' &&
                   digit(14) && digit(15) && line[16] == ':' && digit(17) && digit(18) && line[19] == ' ' &&
                   digit(20) && digit(21) && digit(22) && digit(23);
    return dayOk && shapeOk;
}

TEST(Log, WritersBeforeOpeningWriteNothing) {
    ProgramDir dir;
    gf_logLine("early");
    gf_logText("early");
    lf_logContinuation("early");
    lf_logAndFlush("early");
    EXPECT_FALSE(std::filesystem::exists(dir / "Log.txt"));
    LogBlock block;
    EXPECT_FALSE(block.isOpen());
}

TEST_F(LogFixture, FirstLineIsTheBannerAndNoOlderLogExists) {
    auto lines = readWholeLog();
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_TRUE(isBanner(lines[0])) << lines[0];
    EXPECT_FALSE(std::filesystem::exists(dir() / "Log0.txt"));
}

TEST_F(LogFixture, EachWriterWritesItsLineShape) {
    struct Case {
        void (*writer)(std::string_view);
        std::string text;
        std::string line;
    };
    const std::vector<Case> cases = {
        {gf_logLine, "abc", "==> abc"},
        {gf_logLine, "", "==> "},
        {gf_logText, "abc", "abc"},
        {gf_logText, "", ""},
        {lf_logContinuation, "abc", "          abc"},
        {lf_logContinuation, "", "          "},
        {lf_logAndFlush, "abc", "abc"},
    };
    for (const auto& c : cases) {
        c.writer(c.text);
    }
    auto lines = readLog();
    ASSERT_EQ(lines.size(), cases.size());
    for (std::size_t k = 0; k < cases.size(); ++k) {
        EXPECT_EQ(lines[k], cases[k].line) << "case " << k;
    }
    EXPECT_EQ(readFileBytes(dir() / "Log.txt").find('\r'), std::string::npos);
}

TEST_F(LogFixture, EventLinesReachTheFileAtOnce) {
    gf_logLine("on disk");
    // Read the file without going through the fixture, which flushes.
    auto lines = readFileLines(dir() / "Log.txt");
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[1], "==> on disk");
}

TEST_F(LogFixture, TextWithLineFeedsIsWrittenUnchanged) {
    gf_logText("one\ntwo");
    auto lines = readLog();
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0], "one");
    EXPECT_EQ(lines[1], "two");
}

class LogThreads : public LogFixture {};

TEST_F(LogThreads, LinesOfManyThreadsNeverInterleave) {
    constexpr int threads = 8;
    constexpr int perThread = 10000;
    {
        std::vector<std::jthread> writers;
        for (int t = 0; t < threads; ++t) {
            writers.emplace_back([t] {
                const std::string text = "thread " + std::to_string(t) + " writes a line of some length";
                for (int k = 0; k < perThread; ++k) {
                    gf_logLine(text);
                }
            });
        }
    }
    auto lines = readLog();
    ASSERT_EQ(lines.size(), static_cast<std::size_t>(threads * perThread));
    std::vector<int> counts(threads, 0);
    for (const auto& line : lines) {
        bool matched = false;
        for (int t = 0; t < threads; ++t) {
            if (line == "==> thread " + std::to_string(t) + " writes a line of some length") {
                ++counts[t];
                matched = true;
                break;
            }
        }
        ASSERT_TRUE(matched) << "broken line: " << line;
    }
    for (int t = 0; t < threads; ++t) {
        EXPECT_EQ(counts[t], perThread) << "thread " << t;
    }
}

TEST_F(LogThreads, BlockStaysContiguousWhileOthersWrite) {
    std::atomic<bool> stop{false};
    std::jthread other([&] {
        while (!stop) {
            gf_logLine("other");
        }
    });
    for (int round = 0; round < 200; ++round) {
        LogBlock block;
        ASSERT_TRUE(block.isOpen());
        block.stream() << "block 1\nblock 2\nblock 3\n";
    }
    stop = true;
    other.join();
    auto lines = readLog();
    for (std::size_t k = 0; k < lines.size(); ++k) {
        if (lines[k] == "block 1") {
            ASSERT_LT(k + 2, lines.size());
            EXPECT_EQ(lines[k + 1], "block 2") << "line " << k;
            EXPECT_EQ(lines[k + 2], "block 3") << "line " << k;
        }
    }
}

// The log as the entry point opens it, in a real process per start.
TEST(LogProcess, FiveStartsKeepTheFourNewestLogs) {
    test::TempDir dir;
    for (int mark = 1; mark <= 5; ++mark) {
        auto result = test::runChild(LOG_STARTER_BIN, {std::to_string(mark)}, dir.path());
        ASSERT_EQ(result.exitCode, 0) << result.err;
        if (mark == 1) {
            EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1)
                << "the first start creates Log.txt only";
        }
    }
    const std::vector<std::pair<std::string, std::string>> expected = {
        {"Log.txt", "==> 5"}, {"Log0.txt", "==> 4"}, {"Log00.txt", "==> 3"}, {"Log000.txt", "==> 2"}};
    for (const auto& [file, mark] : expected) {
        auto lines = readFileLines(dir / file);
        ASSERT_EQ(lines.size(), 2u) << file;
        EXPECT_TRUE(isBanner(lines[0])) << file;
        EXPECT_EQ(lines[1], mark) << file;
    }
    for (const auto& entry : std::filesystem::directory_iterator(dir.path())) {
        EXPECT_EQ(readFileBytes(entry.path()).find("==> 1"), std::string::npos) << entry.path();
    }
}

// A start that cannot copy a generation (the oldest is a folder; the disk is full) still runs every step and
// never loses the previous start's log: a file that cannot be copied one generation down is moved there.
TEST(LogProcess, AStartKeepsThePreviousLogsWhenACopyFails) {
    const std::string previous(4000, 'p');
    struct Case {
        const char* name;
        std::uint64_t sizeLimit;
        std::vector<std::string> before; // Log.txt, Log0.txt, Log00.txt; an empty Log000.txt is a folder
        std::vector<std::string> after;  // Log0.txt, Log00.txt, Log000.txt
    };
    const std::vector<Case> cases = {
        {"the oldest is a folder",
         RLIM_INFINITY,
         {"current\n", "previous\n", "older\n", ""},
         {"current\n", "previous\n", ""}},
        {"every generation is larger",
         1024,
         {previous, previous + "1", previous + "2", "g3\n"},
         {previous, previous + "1", previous + "2"}},
    };
    const std::vector<std::string> names = {"Log.txt", "Log0.txt", "Log00.txt", "Log000.txt"};
    for (const Case& row : cases) {
        test::TempDir dir;
        for (std::size_t k = 0; k < names.size(); ++k) {
            if (row.before[k].empty()) {
                std::filesystem::create_directory(dir / names[k]);
            } else {
                test::writeFileBytes(dir / names[k], row.before[k]);
            }
        }
        const auto start = [&] {
            std::filesystem::current_path(dir.path());
            gf_openLog();
            gf_logLine("new");
            return true;
        };
        ASSERT_EQ(test::runWithFileSizeLimit(row.sizeLimit, start), true) << row.name;
        for (std::size_t k = 1; k < names.size(); ++k) {
            const std::string bytes = row.after[k - 1].empty() ? "" : readFileBytes(dir / names[k]);
            EXPECT_TRUE(bytes == row.after[k - 1])
                << row.name << ": " << names[k] << " holds " << bytes.size() << " bytes, ending "
                << bytes.substr(bytes.size() < 4 ? 0 : bytes.size() - 4);
        }
        EXPECT_EQ(readFileLines(dir / "Log.txt").back(), "==> new") << row.name;
    }
}

// A disk that fills while lines are written (a file-size limit in a child process) and has room again: the
// lines written after reach Log.txt, each whole on its own line, and one line at the place of the lost ones
// says how many they were.
TEST(LogProcess, LinesGoOnOnceThereIsRoomAgain) {
    struct Case {
        const char* name;
        void (*writer)(std::string_view);
        std::string prefix;
    };
    const std::vector<Case> cases = {
        {"event lines, each flushed", gf_logLine, "==> "},
        {"plain lines, written when the buffer is full", gf_logText, ""},
    };
    constexpr int fullLines = 1000;
    const auto full = [](int k) { return "line while the disk is full: " + std::to_string(k); };
    const auto room = [](int k) { return "line once there is room " + std::to_string(k); };
    for (const Case& row : cases) {
        test::TempDir dir;
        const auto run = [&] {
            std::filesystem::current_path(dir.path());
            gf_openLog();
            for (int k = 0; k < fullLines; ++k) {
                row.writer(full(k));
            }
            test::liftFileSizeLimit();
            for (int k = 0; k < 3; ++k) {
                row.writer(room(k));
            }
            gf_flushLog();
            return true;
        };
        ASSERT_EQ(test::runWithFileSizeLimit(4096, run), true) << row.name;
        EXPECT_TRUE(readFileBytes(dir / "Log.txt").ends_with('\n')) << row.name;
        const auto lines = readFileLines(dir / "Log.txt");
        const auto note = std::find_if(lines.begin(), lines.end(), [](const std::string& line) {
            return line.starts_with("==> writing Log.txt");
        });
        if (note == lines.end()) {
            ADD_FAILURE() << row.name << ": no line about the lost lines; last line " << lines.back();
            continue;
        }
        // The banner, the lines that fitted, the note, the lines still buffered when room came back, the
        // rest.
        const auto kept = static_cast<int>(note - lines.begin()) - 1;
        const auto keptAfter = static_cast<int>(lines.end() - note) - 1 - 3;
        const int lost = fullLines - kept - keptAfter;
        ASSERT_TRUE(kept > 0 && lost > 0 && keptAfter >= 0) << row.name;
        std::vector<std::string> expected = {lines[0]};
        for (int k = 0; k < fullLines; ++k) {
            if (k == kept) {
                expected.push_back("==> writing Log.txt failed: File too large; " + std::to_string(lost) +
                                   " lines lost");
            }
            if (k < kept || k >= kept + lost) {
                expected.push_back(row.prefix + full(k));
            }
        }
        for (int k = 0; k < 3; ++k) {
            expected.push_back(row.prefix + room(k));
        }
        EXPECT_EQ(lines, expected) << row.name;
    }
}

TEST(LogProcess, ProgramEndsWithCodeOneWhenLogCannotBeOpened) {
    test::TempDir dir;
    std::filesystem::create_directory(dir / "Log.txt");
    auto result = test::runChild(LOG_STARTER_BIN, {}, dir.path());
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_NE(result.err.find("Failed to write file Log.txt"), std::string::npos) << result.err;
}

} // namespace
} // namespace zeph
