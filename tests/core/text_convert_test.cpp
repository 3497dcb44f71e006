#include "core/text_convert.h"

#include <stdexcept>
#include <string>

#include <gtest/gtest.h>

namespace zeph {
namespace {

std::string bytes(std::initializer_list<unsigned> values) {
    std::string out;
    for (unsigned v : values) {
        out.push_back(static_cast<char>(v));
    }
    return out;
}

// The exception text of a call, or "" when it did not throw.
template <typename F> std::string thrownText(F call) {
    try {
        call();
    } catch (const std::runtime_error& e) {
        return e.what();
    }
    return "";
}

TEST(TextConvert, InvalidUtf8IsRefusedWithItsFixedText) {
    const std::pair<const char*, std::string> cases[] = {
        {"overlong NUL", bytes({0xC0, 0x80})},
        {"overlong three-byte", bytes({0xE0, 0x80, 0x80})},
        {"encoded surrogate", bytes({0xED, 0xA0, 0x80})},
        {"above U+10FFFF", bytes({0xF4, 0x90, 0x80, 0x80})},
        {"byte F5", bytes({0xF5})},
        {"lone continuation", bytes({0x80})},
        {"cut at the end", bytes({0x61, 0xE2, 0x82})},
    };
    for (const auto& [name, text] : cases) {
        EXPECT_EQ(thrownText([&text = text] { utf8_to_wide(text); }), "utf8_to_wide: invalid UTF-8") << name;
    }
}

TEST(TextConvert, UnpairedSurrogatesAreRefusedWithTheirFixedText) {
    const std::pair<const char*, WideString> cases[] = {
        {"lone high", WideString{0xD800}},
        {"lone low", WideString{0xDC00}},
        {"high then letter", WideString{0xD800, u'a'}},
        {"low then high", WideString{0xDC00, 0xD800}},
    };
    for (const auto& [name, text] : cases) {
        EXPECT_EQ(thrownText([&text = text] { wide_to_utf8(text); }), "wide_to_utf8: invalid UTF-16") << name;
    }
}

TEST(TextConvert, EmptyAndNulTextsConvert) {
    EXPECT_TRUE(utf8_to_wide("").empty());
    EXPECT_TRUE(wide_to_utf8(u"").empty());
    const std::string withNul("a\0b", 3);
    EXPECT_EQ(utf8_to_wide(withNul), WideString(u"a\0b", 3));
    EXPECT_EQ(wide_to_utf8(WideString(u"a\0b", 3)), withNul);
}

TEST(TextConvert, EveryScalarValueRoundTrips) {
    for (char32_t value = 0; value <= 0x10FFFF; ++value) {
        if (value >= 0xD800 && value <= 0xDFFF) {
            continue;
        }
        WideString wide;
        if (value < 0x10000) {
            wide.push_back(static_cast<char16_t>(value));
        } else {
            wide.push_back(static_cast<char16_t>(0xD800 + ((value - 0x10000) >> 10)));
            wide.push_back(static_cast<char16_t>(0xDC00 + ((value - 0x10000) & 0x3FF)));
        }
        std::string narrow = wide_to_utf8(wide);
        ASSERT_EQ(utf8_to_wide(narrow), wide) << "U+" << std::hex << static_cast<unsigned>(value);
    }
}

TEST(TextConvert, KnownUtf8Encodings) {
    EXPECT_EQ(wide_to_utf8(u"caf\u00E9"), bytes({0x63, 0x61, 0x66, 0xC3, 0xA9}));
    EXPECT_EQ(wide_to_utf8(u"\u20AC"), bytes({0xE2, 0x82, 0xAC}));
    EXPECT_EQ(wide_to_utf8(u"\U0001F600"), bytes({0xF0, 0x9F, 0x98, 0x80}));
}

TEST(TextConvert, AnsiIsWindows1252AndNeverFails) {
    const std::pair<std::string, std::string> cases[] = {
        {"caf\xE9", bytes({0x63, 0x61, 0x66, 0xC3, 0xA9})},
        {bytes({0x80}), bytes({0xE2, 0x82, 0xAC})},
        {bytes({0x81}), bytes({0xC2, 0x81})},
        {bytes({0x9F}), bytes({0xC5, 0xB8})},
        {bytes({0xFF}), bytes({0xC3, 0xBF})},
        {"", ""},
        {std::string("a\0b", 3), std::string("a\0b", 3)},
    };
    for (const auto& [ansi, utf8] : cases) {
        EXPECT_EQ(lf_ansiToUtf8(ansi), utf8) << "input size " << ansi.size();
    }
    for (unsigned b = 0; b < 256; ++b) {
        EXPECT_FALSE(lf_ansiToUtf8(std::string(1, static_cast<char>(b))).empty()) << "byte " << b;
    }
}

TEST(TextConvert, PathsMustBeUtf8) {
    EXPECT_EQ(gf_path2s("/tmp/caf\xC3\xA9.txt"), "/tmp/caf\xC3\xA9.txt");
    EXPECT_EQ(gf_path2s(""), "");
    EXPECT_EQ(thrownText([] { gf_path2s(std::filesystem::path("bad\xFFname")); }),
              "gf_path2s: invalid UTF-8");
}

} // namespace
} // namespace zeph
