#include "support/byte_corpus.h"

#include <random>

namespace zeph::test {

std::string bytesOf(std::initializer_list<int> values) {
    std::string bytes;
    for (int value : values) {
        bytes.push_back(static_cast<char>(static_cast<unsigned char>(value)));
    }
    return bytes;
}

std::string repeatedByte(char byte, std::size_t count) { return std::string(count, byte); }

std::string utf16Bytes(std::u16string_view text, bool bigEndian, bool withBom) {
    std::string bytes;
    auto put = [&](char16_t unit) {
        const auto hi = static_cast<char>(static_cast<unsigned char>(unit >> 8));
        const auto lo = static_cast<char>(static_cast<unsigned char>(unit & 0xFF));
        bytes.push_back(bigEndian ? hi : lo);
        bytes.push_back(bigEndian ? lo : hi);
    };
    if (withBom) {
        put(u'\xFEFF');
    }
    for (char16_t unit : text) {
        put(unit);
    }
    return bytes;
}

std::string randomBytes(std::size_t count, std::uint32_t seed) {
    std::mt19937 engine(seed);
    std::uniform_int_distribution<int> byte(0, 255);
    std::string bytes;
    bytes.reserve(count);
    for (std::size_t i = 0; i < count; ++i) {
        bytes.push_back(static_cast<char>(static_cast<unsigned char>(byte(engine))));
    }
    return bytes;
}

std::vector<CharsetCase> charsetCases() {
    const std::string longPrefix = repeatedByte('a', 4095);
    return {
        {"UTF-16LE mark FF FE", bytesOf({0xFF, 0xFE}), 1},
        {"UTF-16BE mark FE FF", bytesOf({0xFE, 0xFF}), 2},
        {"UTF-8 mark EF BB BF", bytesOf({0xEF, 0xBB, 0xBF}), 3},
        {"little-endian zero bytes 61 00 62 00", bytesOf({0x61, 0x00, 0x62, 0x00}), 1},
        {"big-endian zero bytes 00 61 00 62", bytesOf({0x00, 0x61, 0x00, 0x62}), 2},
        {"three bytes 61 00 62", bytesOf({0x61, 0x00, 0x62}), 1},
        {"61 00 62 63 is valid UTF-8", bytesOf({0x61, 0x00, 0x62, 0x63}), 4},
        {"lone C3 cut by the file end", bytesOf({0xC3}), 0},
        {"C3 A9", bytesOf({0xC3, 0xA9}), 4},
        {"encoded surrogate ED A0 80", bytesOf({0xED, 0xA0, 0x80}), 4},
        {"overlong C0 80", bytesOf({0xC0, 0x80}), 0},
        {"above U+10FFFF F4 90 80 80", bytesOf({0xF4, 0x90, 0x80, 0x80}), 0},
        {"stray continuation 80", bytesOf({0x80}), 0},
        {"empty file", "", 4},
        {"Windows-1252 caf\\xE9", "caf\xE9\r\n", 0},
        {"C3 A9 cut by the sample end, file goes on",
         longPrefix + bytesOf({0xC3, 0xA9}) + repeatedByte('a', 100), 4},
        {"four-byte sequence cut by the sample end",
         repeatedByte('a', 4094) + bytesOf({0xF0, 0x9F, 0x98, 0x80}) + "z", 4},
        {"C3 alone at the file end after the sample", longPrefix + bytesOf({0xC3}), 0},
        {"bad continuation just past the sample", longPrefix + bytesOf({0xC3, 0x41}) + "a", 0},
        {"invalid byte after the sample is not looked at", repeatedByte('a', 4096) + bytesOf({0xFF}), 4},
    };
}

std::vector<LinesCase> lineCases() {
    return {
        {"a CR LF b", "a\r\nb", 4, {"a", "b"}},
        {"a LF LF b LF", "a\n\nb\n", 4, {"a", "", "b"}},
        {"single LF", "\n", 4, {""}},
        {"a CR CR LF keeps one CR", "a\r\r\n", 4, {"a\r"}},
        {"CR at the very end", "a\r", 4, {"a"}},
        {"UTF-8 mark, code 3", bytesOf({0xEF, 0xBB, 0xBF}) + "a\n", 3, {"a"}},
        {"UTF-8 mark read as code 4", bytesOf({0xEF, 0xBB, 0xBF}) + "a\n", 4, {"a"}},
        {"empty file, code 4", "", 4, {}},
        {"NUL bytes inside a line", std::string("a\0b\n", 4), 4, {std::string("a\0b", 3)}},
        {"Windows-1252 caf\\xE9 CR LF", "caf\xE9\r\n", 0, {"caf\xC3\xA9"}},
        {"Windows-1252 undefined byte 81", "x\x81", 0, {"x\xC2\x81"}},
        {"UTF-16LE with mark", bytesOf({0xFF, 0xFE, 0x61, 0x00, 0x0A, 0x00, 0x62, 0x00}), 1, {"a", "b"}},
        {"UTF-16BE with mark", bytesOf({0xFE, 0xFF, 0x00, 0x61, 0x00, 0x0A, 0x00, 0x62}), 2, {"a", "b"}},
        {"UTF-16LE without mark keeps the first character", bytesOf({0x61, 0x00, 0x62, 0x00}), 1, {"ab"}},
        {"UTF-16BE without mark keeps the first character", bytesOf({0x00, 0x61, 0x00, 0x62}), 2, {"ab"}},
        {"the mark beats the code", utf16Bytes(u"x\r\ny", true, true), 1, {"x", "y"}},
        {"UTF-16LE CR LF and a surrogate pair",
         utf16Bytes(u"\u00e9\r\n\U0001F600", false, true),
         1,
         {"\xC3\xA9", "\xF0\x9F\x98\x80"}},
        {"UTF-16 empty file", "", 1, {}},
        {"UTF-16 mark only", bytesOf({0xFF, 0xFE}), 1, {}},
    };
}

} // namespace zeph::test
