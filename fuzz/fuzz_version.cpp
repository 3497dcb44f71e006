// Version texts come from the maker's web site and from data files: any bytes must give a value, never a
// crash, and the fast matcher must split a text exactly as a plain search over every split would.
#include <array>
#include <charconv>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string_view>

#include "core/version.h"

namespace {

using Groups = std::array<std::string_view, 3>;

bool isDigits(std::string_view text) {
    if (text.empty()) {
        return false;
    }
    for (const char c : text) {
        if (c < '0' || c > '9') {
            return false;
        }
    }
    return true;
}

bool isSeparator(char c) { return c != '\n' && c != '\r'; }

// Tries every split in the order a greedy backtracking matcher tries them: longest first run, then
// longest second run. Cubic, so only for short texts.
std::optional<Groups> matchBySearch(std::string_view text) {
    const std::size_t size = text.size();
    for (std::size_t a = size; a >= 1; --a) {
        for (std::size_t b = size; b > a + 1; --b) {
            if (b + 1 >= size) {
                continue;
            }
            const Groups groups{text.substr(0, a), text.substr(a + 1, b - a - 1), text.substr(b + 1)};
            if (isDigits(groups[0]) && isDigits(groups[1]) && isDigits(groups[2]) && isSeparator(text[a]) &&
                isSeparator(text[b])) {
                return groups;
            }
        }
    }
    return std::nullopt;
}

std::optional<std::int32_t> toInt32(std::string_view digits) {
    std::int32_t value = 0;
    const char* end = digits.data() + digits.size();
    const auto [stop, error] = std::from_chars(digits.data(), end, value);
    if (error != std::errc{} || stop != end) {
        return std::nullopt;
    }
    return value;
}

void check(bool condition) {
    if (!condition) {
        std::abort();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const zeph::Version version = zeph::gf_parseVersion(text);

    const auto groups = zeph::matchVersionText(text);
    if (size <= 64) {
        check(groups == matchBySearch(text));
    }
    if (!groups) {
        return 0;
    }
    // The fields are read in order and a field that does not fit stops the reading.
    zeph::Version expected;
    std::int32_t* fields[] = {&expected.major, &expected.minor, &expected.patch};
    bool allFit = true;
    for (std::size_t i = 0; i < 3 && allFit; ++i) {
        const auto value = toInt32((*groups)[i]);
        allFit = value.has_value();
        *fields[i] = value.value_or(0);
    }
    check(version == expected);
    if (allFit) {
        check(zeph::gf_parseVersion(zeph::gf_versionText(version)) == version);
    }
    return 0;
}
