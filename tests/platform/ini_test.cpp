#include "platform/ini.h"

#include <gtest/gtest.h>

#include "platform/codepage.h"
#include "support/temp_dir.h"

namespace zeph {
namespace {

using test::TempDir;
using test::writeFileBytes;

std::string utf16Bytes(std::string_view utf8, bool bigEndian) {
    std::string bytes = bigEndian ? "\xFE\xFF" : "\xFF\xFE";
    const WideString wide = utf8ToUtf16(utf8).value();
    for (char16_t unit : wide) {
        char high = static_cast<char>(unit >> 8);
        char low = static_cast<char>(unit & 0xFF);
        bytes += bigEndian ? std::string{high, low} : std::string{low, high};
    }
    return bytes;
}

const char* const kRules = "Port=before any section\n"
                           "[SimConnect]\n"
                           "  Protocol = IPv4  \n"
                           "address=first\n"
                           "ADDRESS=second\n"
                           "; Port=commented out\n"
                           "   ;MaxReceiveSize=1\n"
                           "Quoted=\"  kept blanks  \"\n"
                           "Single='x'\n"
                           "Mixed=\"x'\n"
                           "Lone=\"\n"
                           "Empty=\n"
                           "Equals=a=b\n"
                           "Flag\n"
                           "Inline=7 ; not a comment\n"
                           "[ simconnect ]\n"
                           "Port=from the second section\n"
                           "[SimConnect.2]\r\n"
                           "Port=500\r"
                           "Address=cr only\n";

TEST(Ini, GetStringFollowsPrivateProfileRules) {
    TempDir dir;
    writeFileBytes(dir / "SimConnect.cfg", kRules);
    struct Case {
        const char* section;
        const char* key;
        const char* expected;
    } cases[] = {
        {"SimConnect", "Protocol", "IPv4"},   // blanks around name and value
        {"simconnect", "PROTOCOL", "IPv4"},   // names match without letter case
        {"SimConnect", "Address", "first"},   // the first key wins
        {"SimConnect", "Port", ""},           // comment, later section and prelude never count
        {"SimConnect", "MaxReceiveSize", ""}, // indented comment
        {"SimConnect", "Quoted", "  kept blanks  "},
        {"SimConnect", "Single", "x"},
        {"SimConnect", "Mixed", "\"x'"},
        {"SimConnect", "Lone", "\""},
        {"SimConnect", "Empty", ""},
        {"SimConnect", "Equals", "a=b"},
        {"SimConnect", "Flag", ""},
        {"SimConnect", "Inline", "7 ; not a comment"},
        {"SimConnect", "Missing", ""},
        {"SimConnect.2", "Port", "500"}, // CR LF and CR alone end lines
        {"SimConnect.2", "Address", "cr only"},
        {"SimConnect.3", "Port", ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(iniGetString(dir / "SimConnect.cfg", c.section, c.key), c.expected)
            << "[" << c.section << "] " << c.key;
    }
}

TEST(Ini, MissingOrUnreadableFileGivesEmptyText) {
    TempDir dir;
    EXPECT_EQ(iniGetString(dir / "absent.cfg", "SimConnect", "Port"), "");
    EXPECT_EQ(iniGetString(dir.path(), "SimConnect", "Port"), "") << "a folder";
    EXPECT_FALSE(iniSectionExists(dir / "absent.cfg", "SimConnect"));
    EXPECT_FALSE(iniSectionExists(dir.path(), "SimConnect"));
}

TEST(Ini, ValuesAreCutAtMaxCharsInUtf16Units) {
    const std::string grin = "\xF0\x9F\x98\x80"; // U+1F600, two UTF-16 units
    struct Case {
        std::string value;
        std::size_t maxChars;
        std::string expected;
    } cases[] = {
        {std::string(3000, 'v'), 2047, std::string(2047, 'v')},
        {std::string(2047, 'v'), 2047, std::string(2047, 'v')},
        {"\"" + std::string(2047, 'q') + "\"", 2047, std::string(2047, 'q')}, // quotes go before the cut
        {"a" + grin + "b", 2, "a"},                                           // a pair is never split
        {"a" + grin + "b", 3, "a" + grin},
        {"\xC3\xA9t\xC3\xA9", 2, "\xC3\xA9t"},
        {"abc", 0, ""},
    };
    for (const auto& c : cases) {
        std::string text = "[S]\nK=" + c.value + "\n";
        EXPECT_EQ(iniTextGetString(text, "S", "K", c.maxChars), c.expected)
            << "value of " << c.value.size() << " bytes, cut at " << c.maxChars;
    }
    TempDir dir;
    writeFileBytes(dir / "long.cfg", "[S]\nK=" + std::string(5000, 'w') + "\nNext=1\n");
    EXPECT_EQ(iniGetString(dir / "long.cfg", "S", "K"), std::string(2047, 'w')) << "default cut";
    EXPECT_EQ(iniGetString(dir / "long.cfg", "S", "Next"), "1") << "the line after a long one";
}

TEST(Ini, FileIsDecodedByItsBom) {
    const std::string text = "[SimConnect]\r\nAddress=h\xC3\xA9te\r\nPort=\xE2\x82\xAC"
                             "5\r\n";
    struct Case {
        const char* name;
        std::string bytes;
    } cases[] = {
        {"UTF-8", text},
        {"UTF-8 with BOM", "\xEF\xBB\xBF" + text},
        {"UTF-16LE", utf16Bytes(text, false)},
        {"UTF-16BE", utf16Bytes(text, true)},
        {"Windows-1252", "[SimConnect]\r\nAddress=h\xE9te\r\nPort=\x80"
                         "5\r\n"},
        {"UTF-16LE, odd last byte", utf16Bytes(text, false) + "X"},
    };
    TempDir dir;
    for (const auto& c : cases) {
        writeFileBytes(dir / "SimConnect.cfg", c.bytes);
        EXPECT_EQ(iniGetString(dir / "SimConnect.cfg", "simconnect", "address"), "h\xC3\xA9te") << c.name;
        EXPECT_EQ(iniGetString(dir / "SimConnect.cfg", "SimConnect", "Port"), "\xE2\x82\xAC"
                                                                              "5")
            << c.name;
        EXPECT_TRUE(iniSectionExists(dir / "SimConnect.cfg", "SimConnect")) << c.name;
    }
}

TEST(Ini, LoneSurrogatesBecomeReplacementCharacters) {
    std::string bytes = utf16Bytes("[S]\nK=a", false);
    bytes += std::string("\x00\xD8", 2);      // a high surrogate followed by no low one
    bytes += std::string("b\x00\x00\xDC", 4); // 'b', then a lone low surrogate
    bytes += std::string("\n\x00", 2);
    EXPECT_EQ(iniTextGetString(bytes, "S", "K"), "a\xEF\xBF\xBD"
                                                 "b\xEF\xBF\xBD");
}

TEST(Ini, SectionExistsOnlyWithAnEntryInItsFirstOccurrence) {
    struct Case {
        const char* name;
        const char* text;
        const char* section;
        bool expected;
    } cases[] = {
        {"one entry", "[SimConnect]\nPort=1\n", "SimConnect", true},
        {"letter case", "[SIMCONNECT]\nPort=1\n", "SimConnect", true},
        {"entry without value", "[SimConnect]\nFlag\n", "SimConnect", true},
        {"empty value", "[SimConnect]\nPort=\n", "SimConnect", true},
        {"comments only", "[SimConnect]\n; Port=1\n\n", "SimConnect", false},
        {"empty key only", "[SimConnect]\n=1\n", "SimConnect", false},
        {"header only", "[SimConnect]\n[Other]\nPort=1\n", "SimConnect", false},
        {"empty first of two", "[SimConnect]\n[SimConnect]\nPort=1\n", "SimConnect", false},
        {"other index", "[SimConnect.2]\nPort=1\n", "SimConnect", false},
        {"indexed", "[SimConnect]\nPort=1\n[SimConnect.2]\nPort=2\n", "SimConnect.2", true},
        {"no closing bracket", "[SimConnect\nPort=1\n", "SimConnect", false},
        {"empty file", "", "SimConnect", false},
    };
    TempDir dir;
    for (const auto& c : cases) {
        writeFileBytes(dir / "SimConnect.cfg", c.text);
        EXPECT_EQ(iniSectionExists(dir / "SimConnect.cfg", c.section), c.expected) << c.name;
    }
}

TEST(Ini, BracketLinesOpenSectionsUpToTheirLastBracket) {
    const char* text = "[a]b]\n[plain\nK=2\n[c] trailing\nK=3\n";
    EXPECT_EQ(iniTextGetString(text, "a]b", "K"), "2") << "a line without ']' opens no section";
    EXPECT_EQ(iniTextGetString(text, "plain", "K"), "");
    EXPECT_EQ(iniTextGetString(text, "c", "K"), "3");
}

} // namespace
} // namespace zeph
