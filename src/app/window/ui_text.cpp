#include "app/window/ui_text.h"

#include <cstddef>

namespace zeph {

namespace {

char lowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool startsWithIgnoringCase(std::string_view text, std::string_view prefix) {
    if (prefix.size() > text.size()) {
        return false;
    }
    for (std::size_t k = 0; k < prefix.size(); ++k) {
        if (lowerAscii(text[k]) != lowerAscii(prefix[k])) {
            return false;
        }
    }
    return true;
}

constexpr char32_t replacementCharacter = 0xFFFD;

// The length of the UTF-8 sequence a lead byte starts, 0 for a byte that cannot start one.
std::size_t sequenceLength(unsigned char lead) {
    if (lead < 0x80) {
        return 1;
    }
    if (lead >= 0xC2 && lead <= 0xDF) {
        return 2;
    }
    if (lead >= 0xE0 && lead <= 0xEF) {
        return 3;
    }
    if (lead >= 0xF0 && lead <= 0xF4) {
        return 4;
    }
    return 0;
}

// Decodes the sequence at text[at]; 0 as length when it is not a valid, shortest-form sequence.
std::size_t decodeAt(std::string_view text, std::size_t at, char32_t& codePoint) {
    const auto lead = static_cast<unsigned char>(text[at]);
    const std::size_t length = sequenceLength(lead);
    if (length == 0 || at + length > text.size()) {
        return 0;
    }
    if (length == 1) {
        codePoint = lead;
        return 1;
    }
    char32_t value = lead & (0xFFU >> (length + 1));
    for (std::size_t k = 1; k < length; ++k) {
        const auto next = static_cast<unsigned char>(text[at + k]);
        if ((next & 0xC0U) != 0x80U) {
            return 0;
        }
        value = (value << 6U) | (next & 0x3FU);
    }
    const bool overlong = (length == 3 && value < 0x800) || (length == 4 && value < 0x10000);
    const bool surrogate = value >= 0xD800 && value <= 0xDFFF;
    if (overlong || surrogate || value > 0x10FFFF) {
        return 0;
    }
    codePoint = value;
    return length;
}

} // namespace

int findComboPrefix(const std::vector<std::string>& entries, std::string_view prefix) {
    for (std::size_t k = 0; k < entries.size(); ++k) {
        if (startsWithIgnoringCase(entries[k], prefix)) {
            return static_cast<int>(k);
        }
    }
    return -1;
}

std::string textAsDrawn(std::string_view utf8) {
    std::string drawn(utf8);
    for (char& c : drawn) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7F) {
            c = ' ';
        }
    }
    return drawn;
}

std::string escapeMenuEntry(std::string_view text) {
    std::string escaped;
    escaped.reserve(text.size() + 2);
    for (char c : text) {
        if (c == '&') {
            escaped.push_back('&');
        }
        escaped.push_back(c);
    }
    return escaped;
}

std::vector<char32_t> codePoints(std::string_view utf8) {
    std::vector<char32_t> points;
    std::size_t at = 0;
    while (at < utf8.size()) {
        char32_t point = 0;
        const std::size_t length = decodeAt(utf8, at, point);
        if (length == 0) {
            points.push_back(replacementCharacter);
            ++at;
        } else {
            points.push_back(point);
            at += length;
        }
    }
    return points;
}

std::string utf8Of(char32_t codePoint) {
    if (codePoint > 0x10FFFF || (codePoint >= 0xD800 && codePoint <= 0xDFFF)) {
        codePoint = replacementCharacter;
    }
    std::string out;
    if (codePoint < 0x80) {
        out.push_back(static_cast<char>(codePoint));
    } else if (codePoint < 0x800) {
        out.push_back(static_cast<char>(0xC0U | (codePoint >> 6U)));
        out.push_back(static_cast<char>(0x80U | (codePoint & 0x3FU)));
    } else if (codePoint < 0x10000) {
        out.push_back(static_cast<char>(0xE0U | (codePoint >> 12U)));
        out.push_back(static_cast<char>(0x80U | ((codePoint >> 6U) & 0x3FU)));
        out.push_back(static_cast<char>(0x80U | (codePoint & 0x3FU)));
    } else {
        out.push_back(static_cast<char>(0xF0U | (codePoint >> 18U)));
        out.push_back(static_cast<char>(0x80U | ((codePoint >> 12U) & 0x3FU)));
        out.push_back(static_cast<char>(0x80U | ((codePoint >> 6U) & 0x3FU)));
        out.push_back(static_cast<char>(0x80U | (codePoint & 0x3FU)));
    }
    return out;
}

void eraseLastCodePoint(std::string& utf8) {
    if (utf8.empty()) {
        return;
    }
    std::size_t at = utf8.size() - 1;
    // Step back over continuation bytes, at most three, to the lead byte.
    for (int k = 0; k < 3 && at > 0 && (static_cast<unsigned char>(utf8[at]) & 0xC0U) == 0x80U; ++k) {
        --at;
    }
    utf8.erase(at);
}

} // namespace zeph
