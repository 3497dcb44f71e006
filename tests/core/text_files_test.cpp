#include "core/text_files.h"

#include <fstream>
#include <sstream>

#include <gtest/gtest.h>

#include "support/byte_corpus.h"
#include "support/log_fixture.h"
#include "support/recording_status_sink.h"
#include "support/temp_dir.h"

namespace zeph {
namespace {

using test::LinesCase;
using test::StatusEntry;

std::string readFailed(const std::filesystem::path& file, const std::string& reason) {
    return "Read failed for '" + file.string() + "': " + reason;
}

TEST(TextCharsetDetection, EveryCaseOfTheList) {
    test::TempDir dir;
    for (const auto& item : test::charsetCases()) {
        SCOPED_TRACE(item.name);
        auto file = dir / "case.txt";
        test::writeFileBytes(file, item.bytes);
        EXPECT_EQ(static_cast<int>(gf_detectCharset(file)), item.code);
    }
}

TEST(TextCharsetDetection, FilesThatCannotBeOpenedGiveNoneFound) {
    test::TempDir dir;
    std::filesystem::create_directory(dir / "folder.cfg");
    for (const char* name : {"missing.cfg", "folder.cfg"}) {
        SCOPED_TRACE(name);
        EXPECT_EQ(gf_detectCharset(dir / name), TextCharset::NoneFound);
    }
}

TEST(TextCharsetNames, NamesOfEveryCode) {
    const std::vector<std::pair<int, std::string>> cases = {
        {0, "ANSI"},          {1, "Unicode"},          {2, "Unicode_big_endian"},
        {3, "UTF8_with_BOM"}, {4, "UTF8_without_BOM"}, {5, "none_found"},
    };
    for (const auto& [code, name] : cases) {
        EXPECT_EQ(gf_charsetName(static_cast<TextCharset>(code)), name) << "code " << code;
    }
    for (int code : {-1, 6}) {
        try {
            (void)gf_charsetName(static_cast<TextCharset>(code));
            ADD_FAILURE() << "no throw for code " << code;
        } catch (const std::out_of_range& error) {
            EXPECT_EQ(std::string(error.what()), "unknown charset code " + std::to_string(code));
        }
    }
}

TEST(TextFileReading, EveryLinesCaseThroughItsCharset) {
    test::TempDir dir;
    test::RecordingStatusSink sink;
    for (const LinesCase& item : test::lineCases()) {
        SCOPED_TRACE(item.name);
        auto file = dir / "case.txt";
        test::writeFileBytes(file, item.bytes);
        std::vector<std::string> lines = {"left over"};
        EXPECT_TRUE(gf_readTextFileAs(static_cast<TextCharset>(item.code), file, lines));
        EXPECT_EQ(lines, item.lines);
    }
    EXPECT_EQ(sink.entries(), std::vector<StatusEntry>{});
}

TEST(TextFileReading, Utf8CasesAgreeAcrossEveryReader) {
    test::TempDir dir;
    for (const LinesCase& item : test::lineCases()) {
        if (item.code != 3 && item.code != 4) {
            continue;
        }
        SCOPED_TRACE(item.name);
        auto file = dir / "case.txt";
        test::writeFileBytes(file, item.bytes);

        LineFile lineFile{file, {"left over"}};
        LineFileResult result = lineFile.read(1);
        ASSERT_TRUE(result.ok);
        EXPECT_EQ(std::vector<std::string>(result.lines.begin(), result.lines.end()), item.lines);
        EXPECT_EQ(lineFile.lines, item.lines);

        std::vector<std::string> split = {"kept"};
        lf_splitLines(item.bytes, split);
        split.erase(split.begin());
        EXPECT_EQ(split, item.lines);
    }
}

using OddUtf16File = test::LogFixture;

TEST_F(OddUtf16File, KeepsEveryCompleteUnitAndLogsOnce) {
    struct Case {
        std::string name;
        std::string bytes;
        TextCharset charset;
        std::vector<std::string> lines;
    };
    const std::vector<Case> cases = {
        {"little-endian with mark plus one byte",
         test::bytesOf({0xFF, 0xFE, 0x61, 0x00, 0x0A, 0x00, 0x62, 0x00, 0x63}),
         TextCharset::Unicode,
         {"a", "b"}},
        {"big-endian without mark plus one byte",
         test::bytesOf({0x00, 0x61, 0x00, 0x62, 0x00}),
         TextCharset::UnicodeBigEndian,
         {"ab"}},
        {"a single byte", test::bytesOf({0x61}), TextCharset::Unicode, {}},
    };
    for (const auto& item : cases) {
        SCOPED_TRACE(item.name);
        auto file = dir() / "odd.txt";
        test::writeFileBytes(file, item.bytes);
        const auto logBefore = readLog();
        std::vector<std::string> lines;
        EXPECT_TRUE(gf_readTextFileAs(item.charset, file, lines));
        EXPECT_EQ(lines, item.lines);
        auto logAfter = readLog();
        ASSERT_EQ(logAfter.size(), logBefore.size() + 1);
        EXPECT_EQ(logAfter.back(), "==> " + file.string() + ": odd byte count, last byte ignored");
    }
}

TEST(TextFileReading, FailuresReportOneStatusLineWithLog) {
    test::TempDir dir;
    struct Case {
        std::string name;
        std::string bytes;
        int code;
        std::string reason; // "{path}" stands for the file's path
    };
    const std::vector<Case> cases = {
        {"lone surrogate", test::bytesOf({0xFF, 0xFE, 0x00, 0xD8}), 1, "wide_to_utf8: invalid UTF-16"},
        {"lone low surrogate, big-endian", test::bytesOf({0x00, 0x61, 0xDC, 0x00}), 2,
         "wide_to_utf8: invalid UTF-16"},
        {"code 5 for an existing file", "text\n", 5, "file {path} has unknown charset: none_found"},
        {"code 6", "text\n", 6, "unknown charset code 6"},
        {"code -1", "text\n", -1, "unknown charset code -1"},
    };
    for (const auto& item : cases) {
        SCOPED_TRACE(item.name);
        auto file = dir / "bad.txt";
        test::writeFileBytes(file, item.bytes);
        std::string reason = item.reason;
        if (auto at = reason.find("{path}"); at != std::string::npos) {
            reason.replace(at, 6, file.string());
        }
        test::RecordingStatusSink sink;
        std::vector<std::string> lines = {"left over"};
        EXPECT_FALSE(gf_readTextFileAs(static_cast<TextCharset>(item.code), file, lines));
        EXPECT_EQ(lines, std::vector<std::string>{});
        EXPECT_EQ(sink.entries(), (std::vector<StatusEntry>{{readFailed(file, reason), true}}));
    }
}

TEST(TextFileReading, FilesThatCannotBeOpenedGiveFalseWithoutStatus) {
    test::TempDir dir;
    std::filesystem::create_directory(dir / "folder");
    test::RecordingStatusSink sink;
    for (const char* name : {"missing.txt", "folder"}) {
        for (int code = 0; code <= 4; ++code) {
            SCOPED_TRACE(std::string(name) + " as code " + std::to_string(code));
            std::vector<std::string> lines = {"left over"};
            EXPECT_FALSE(gf_readTextFileAs(static_cast<TextCharset>(code), dir / name, lines));
            EXPECT_TRUE(lines.empty());
        }
    }
    EXPECT_EQ(sink.entries(), std::vector<StatusEntry>{});
}

// Whatever the bytes, a reader gives lines, or false with exactly one "Read failed" status line.
TEST(TextFileReading, JunkNeverThrowsAndFailsWithOneStatusLine) {
    test::TempDir dir;
    auto file = dir / "junk.cfg";
    for (std::uint32_t seed = 1; seed <= 40; ++seed) {
        test::writeFileBytes(file, test::randomBytes(seed * 211 % 9000, seed));
        std::vector<TextCharset> codes = {gf_detectCharset(file), TextCharset::Ansi, TextCharset::Unicode,
                                          TextCharset::UnicodeBigEndian, TextCharset::Utf8WithoutBom};
        for (TextCharset code : codes) {
            SCOPED_TRACE("seed " + std::to_string(seed) + " code " + std::to_string(static_cast<int>(code)));
            test::RecordingStatusSink sink;
            std::vector<std::string> lines;
            bool ok = false;
            ASSERT_NO_THROW(ok = gf_readTextFileAs(code, file, lines));
            auto entries = sink.entries();
            if (ok) {
                EXPECT_TRUE(entries.empty());
            } else {
                ASSERT_EQ(entries.size(), 1u);
                EXPECT_EQ(entries[0].first.rfind("Read failed for '", 0), 0u) << entries[0].first;
                EXPECT_TRUE(entries[0].second);
            }
        }
    }
}

TEST(LineFileRead, MissingFilesAndFolders) {
    test::TempDir dir;
    std::filesystem::create_directory(dir / "folder");
    for (const char* name : {"missing.txt", "folder"}) {
        SCOPED_TRACE(name);
        LineFile file{dir / name, {"old line"}};
        LineFileResult result = file.read(10);
        EXPECT_FALSE(result.ok);
        EXPECT_EQ(result.error, "open_failed");
        EXPECT_TRUE(result.lines.empty());
        EXPECT_TRUE(file.lines.empty());
    }
}

TEST(LineFileRead, ReserveHint) {
    test::TempDir dir;
    test::writeFileBytes(dir / "empty.txt", "");
    test::writeFileBytes(dir / "two.txt", "a\nb\n");
    struct Case {
        const char* name;
        std::size_t hint;
        std::size_t minimumCapacity;
        std::size_t lineCount;
    };
    const std::vector<Case> cases = {
        {"empty.txt", 5000, 5000, 0},
        {"two.txt", 5000, 5000, 2},
        {"two.txt", 0, 2, 2},
    };
    for (const auto& item : cases) {
        SCOPED_TRACE(std::string(item.name) + " hint " + std::to_string(item.hint));
        LineFile file{dir / item.name, {}};
        LineFileResult result = file.read(item.hint);
        ASSERT_TRUE(result.ok);
        EXPECT_GE(file.lines.capacity(), item.minimumCapacity);
        EXPECT_EQ(result.lines.size(), item.lineCount);
        EXPECT_EQ(result.lines.data(), file.lines.data()) << "the result views the object's own lines";
    }
}

TEST(StreamLines, AppendsAndLeavesTheStreamAtItsEnd) {
    struct Case {
        std::string name;
        std::string text;
        std::vector<std::string> lines;
    };
    const std::vector<Case> cases = {
        {"two lines", "a\r\nb", {"before", "a", "b"}},
        {"empty stream", "", {"before"}},
    };
    for (const auto& item : cases) {
        SCOPED_TRACE(item.name);
        std::istringstream in(item.text);
        std::vector<std::string> lines = {"before"};
        gf_readStreamLines(in, lines);
        EXPECT_EQ(lines, item.lines);
        EXPECT_EQ(static_cast<std::size_t>(in.tellg()), item.text.size());
    }
    std::istringstream failed("a\n");
    failed.setstate(std::ios::failbit);
    std::vector<std::string> lines;
    gf_readStreamLines(failed, lines);
    EXPECT_TRUE(lines.empty()) << "a stream in a failed state gives nothing";
}

TEST(StreamLines, Utf16ReaderWantsAUtf16CodeWithoutMark) {
    std::istringstream in(test::bytesOf({0x61, 0x00}));
    std::vector<std::string> lines;
    EXPECT_THROW(lf_readUtf16Lines(in, lines, TextCharset::Utf8WithoutBom), std::invalid_argument);
    std::istringstream marked(test::bytesOf({0xFF, 0xFE, 0x61, 0x00}));
    EXPECT_EQ(lf_readUtf16Lines(marked, lines, TextCharset::Utf8WithoutBom), Utf16Tail::Complete);
    EXPECT_EQ(lines, std::vector<std::string>{"a"}) << "a mark alone decides";
}

TEST(TextFileWriting, WritesLfEndedLinesWithoutMarkOrCr) {
    test::TempDir dir;
    struct Case {
        std::string name;
        std::function<bool(const std::filesystem::path&)> write;
        std::string bytes;
    };
    const std::vector<Case> cases = {
        {"gf_writeFile x", [](auto& f) { return gf_writeFile("x", f); }, "x\n"},
        {"gf_writeFile empty", [](auto& f) { return gf_writeFile("", f); }, "\n"},
        {"gf_writeLinesToFile",
         [](auto& f) {
             return gf_writeLinesToFile({"a", "", "b\xC3\xA9"}, f);
         },
         "a\n\nb\xC3\xA9\n"},
        {"gf_writeLinesToFile no lines", [](auto& f) { return gf_writeLinesToFile({}, f); }, ""},
    };
    for (const auto& item : cases) {
        SCOPED_TRACE(item.name);
        auto file = dir / "out.txt";
        test::writeFileBytes(file, std::string(100, 'o') + "\r\n");
        EXPECT_TRUE(item.write(file));
        EXPECT_EQ(test::readFileBytes(file), item.bytes);
        EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1)
            << "only the target is left";
    }
}

TEST(TextFileWriting, MissingFolderGivesFalseAndCreatesNothing) {
    test::TempDir dir;
    auto file = dir / "missing" / "out.txt";
    EXPECT_FALSE(gf_writeFile("x", file));
    EXPECT_FALSE(gf_writeLinesToFile({"x"}, file));
    EXPECT_FALSE(std::filesystem::exists(dir / "missing"));
    EXPECT_TRUE(std::filesystem::is_empty(dir.path()));
}

} // namespace
} // namespace zeph
