#include "app/window/ui_text.h"

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "app/window/ui.h"

namespace zeph {
namespace {

TEST(ComboPrefix, FindsTheFirstEntryBeginningWithThePrefixRegardlessOfCase) {
    const std::vector<std::string> entries{"10", "25", "Abc", "abd", "BAW12"};
    struct Case {
        const char* prefix;
        int expected;
    };
    const Case cases[] = {
        {"2", 1}, {"ab", 2},  {"ABD", 3},     {"x", -1},   {"", 0},
        {"1", 0}, {"baw", 4}, {"BAW123", -1}, {"10 ", -1},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(findComboPrefix(entries, c.prefix), c.expected) << "prefix '" << c.prefix << "'";
    }
    EXPECT_EQ(findComboPrefix({}, ""), -1) << "an empty list";
}

TEST(TextAsDrawn, ControlCharactersBecomeBlanks) {
    struct Case {
        std::string text;
        std::string drawn;
    };
    const Case cases[] = {
        {"plain", "plain"},
        {"tab\there", "tab here"},
        {"two\r\nlines", "two  lines"},
        {std::string("nul\0x", 5), "nul x"},
        {"del\x7f", "del "},
        {"@y & R&D", "@y & R&D"},
        {"\xC3\xA4\xE2\x82\xAC", "\xC3\xA4\xE2\x82\xAC"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(textAsDrawn(c.text), c.drawn) << "text '" << c.text << "'";
    }
}

TEST(MenuEntries, OnlyShortcutMarksAreEscaped) {
    struct Case {
        const char* text;
        const char* escaped;
    };
    const Case cases[] = {
        {"R&D", "R&&D"}, {"&&", "&&&&"}, {"a/b", "a/b"},       {"_x", "_x"},
        {"@y", "@y"},    {"x@y", "x@y"}, {"a\\b|c", "a\\b|c"}, {"", ""},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(escapeMenuEntry(c.text), c.escaped) << "entry '" << c.text << "'";
    }
}

TEST(CodePoints, DecodesUtf8AndReplacesEachBadByte) {
    struct Case {
        std::string text;
        std::vector<char32_t> points;
    };
    const Case cases[] = {
        {"ab", {U'a', U'b'}},
        {"\xC3\xA4", {0xE4}},
        {"\xE2\x82\xAC", {0x20AC}},
        {"\xF0\x9F\x98\x80", {0x1F600}},
        {"\xC0\x80", {0xFFFD, 0xFFFD}},             // overlong
        {"\xED\xA0\x80", {0xFFFD, 0xFFFD, 0xFFFD}}, // a surrogate
        {"\xE2\x82", {0xFFFD, 0xFFFD}},             // cut short
        {"a\xFFz", {U'a', 0xFFFD, U'z'}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(codePoints(c.text), c.points) << "text of " << c.text.size() << " bytes";
    }
}

TEST(CodePoints, EncodesAndErasesWholeCharacters) {
    struct Case {
        char32_t point;
        std::string utf8;
    };
    const Case cases[] = {
        {U'a', "a"},
        {0xE4, "\xC3\xA4"},
        {0x20AC, "\xE2\x82\xAC"},
        {0x1F600, "\xF0\x9F\x98\x80"},
        {0xD800, "\xEF\xBF\xBD"},
        {0x110000, "\xEF\xBF\xBD"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(utf8Of(c.point), c.utf8) << "code point " << static_cast<unsigned long>(c.point);
        std::string text = "x" + c.utf8;
        eraseLastCodePoint(text);
        EXPECT_EQ(text, "x") << "erasing code point " << static_cast<unsigned long>(c.point);
    }
    std::string empty;
    eraseLastCodePoint(empty);
    EXPECT_EQ(empty, "");
}

TEST(MessageWords, SplitAndJoinLikeWindows) {
    struct Case {
        std::uint16_t low;
        std::uint16_t high;
        std::uintptr_t joined;
    };
    const Case cases[] = {
        {32771, 0, 32771}, {32818, 1, 0x18032}, {0, 0xFFFF, 0xFFFF0000}, {0xFFFF, 0xFFFF, 0xFFFFFFFF}};
    for (const Case& c : cases) {
        EXPECT_EQ(makeWParam(c.low, c.high), c.joined) << c.low << "/" << c.high;
        EXPECT_EQ(loWord(c.joined), c.low) << c.joined;
        EXPECT_EQ(hiWord(c.joined), c.high) << c.joined;
    }
    EXPECT_EQ(hiWord(0x1'0002'0003ULL), 2) << "bits above 32 are not part of the high word";
    EXPECT_EQ(Msg::App + 1, 0x8001U);
    EXPECT_EQ(Rect::fromSize(217, 226, 50, 200), (Rect{217, 226, 267, 426}));
}

} // namespace
} // namespace zeph
