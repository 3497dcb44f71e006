#include "platform/codepage.h"

#include <gtest/gtest.h>

namespace zeph {
namespace {

TEST(Codepage, StrictUtf8AcceptsOnlyWellFormedText) {
    const std::pair<std::string, bool> cases[] = {
        {"", true},
        {"plain", true},
        {"\xC2\x80", true},
        {"\xDF\xBF", true},
        {"\xE0\xA0\x80", true},
        {"\xEF\xBF\xBF", true},
        {"\xF0\x90\x80\x80", true},
        {"\xF4\x8F\xBF\xBF", true},
        {"\xC1\xBF", false},     // overlong
        {"\xE0\x9F\xBF", false}, // overlong
        {"\xF0\x8F\xBF\xBF", false},
        {"\xED\xBF\xBF", false}, // surrogate
        {"\xF4\x90\x80\x80", false},
        {"\xC2", false},
        {"\xC2\x41", false},
        {"\xFE", false},
    };
    for (const auto& [text, valid] : cases) {
        EXPECT_EQ(isValidUtf8(text), valid) << "bytes of size " << text.size() << " starting "
                                            << static_cast<int>(static_cast<unsigned char>(text[0]));
        EXPECT_EQ(utf8ToUtf16(text).has_value(), valid);
    }
}

TEST(Codepage, Cp1252MapsItsHighRowAndKeepsUndefinedBytes) {
    const std::pair<unsigned char, char16_t> cases[] = {
        {0x80, 0x20AC}, {0x81, 0x0081}, {0x8D, 0x008D}, {0x8F, 0x008F}, {0x90, 0x0090},
        {0x9D, 0x009D}, {0x99, 0x2122}, {0x9F, 0x0178}, {0xA0, 0x00A0}, {0x41, 0x0041},
    };
    for (const auto& [byte, unit] : cases) {
        auto wide = cp1252ToUtf16(std::string(1, static_cast<char>(byte)));
        ASSERT_EQ(wide.size(), 1u);
        EXPECT_EQ(wide[0], unit) << "byte " << static_cast<int>(byte);
    }
}

} // namespace
} // namespace zeph
