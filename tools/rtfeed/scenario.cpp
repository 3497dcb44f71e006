#include "rtfeed/scenario.h"

#include <charconv>
#include <cmath>
#include <fstream>
#include <iterator>
#include <optional>

#include <fmt/format.h>

namespace zeph::rtfeed {

namespace {

bool isBlank(char c) { return c == ' ' || c == '\t'; }

std::string_view trimLeft(std::string_view text) {
    while (!text.empty() && isBlank(text.front())) {
        text.remove_prefix(1);
    }
    return text;
}

// Splits off the first blank-separated word.
std::string_view takeWord(std::string_view& text) {
    text = trimLeft(text);
    std::size_t end = 0;
    while (end < text.size() && !isBlank(text[end])) {
        ++end;
    }
    const std::string_view word = text.substr(0, end);
    text.remove_prefix(end);
    return word;
}

std::optional<double> readSeconds(std::string_view word) {
    double value = 0;
    const auto [end, error] = std::from_chars(word.data(), word.data() + word.size(), value);
    if (error != std::errc() || end != word.data() + word.size() || !std::isfinite(value) || value < 0) {
        return std::nullopt;
    }
    return value;
}

struct Utf8Lead {
    unsigned char mask;    // the bits that tell the length
    unsigned char pattern; // their value for this length
    std::size_t length;
    unsigned minimum; // the smallest code point that needs this length
};
constexpr Utf8Lead kUtf8Leads[] = {{0xE0, 0xC0, 2, 0x80}, {0xF0, 0xE0, 3, 0x800}, {0xF8, 0xF0, 4, 0x10000}};

// The length of the UTF-8 sequence starting at text[at], 0 when it is not one (overlong forms, surrogates
// and code points beyond U+10FFFF included).
std::size_t utf8SequenceLength(std::string_view text, std::size_t at) {
    const auto lead = static_cast<unsigned char>(text[at]);
    if (lead < 0x80) {
        return 1;
    }
    for (const Utf8Lead& kind : kUtf8Leads) {
        if ((lead & kind.mask) != kind.pattern) {
            continue;
        }
        if (at + kind.length > text.size()) {
            return 0;
        }
        unsigned value = lead & static_cast<unsigned char>(~kind.mask);
        for (std::size_t k = 1; k < kind.length; ++k) {
            const auto next = static_cast<unsigned char>(text[at + k]);
            if ((next & 0xC0) != 0x80) {
                return 0;
            }
            value = (value << 6) | (next & 0x3Fu);
        }
        const bool surrogate = value >= 0xD800 && value <= 0xDFFF;
        return value < kind.minimum || value > 0x10FFFF || surrogate ? 0 : kind.length;
    }
    return 0;
}

[[noreturn]] void malformed(int lineNumber, std::string_view problem) {
    throw ScenarioError(fmt::format("scenario line {}: {}", lineNumber, problem));
}

// One line that is not blank or a comment.
ScenarioEntry parseEntry(std::string_view line, int lineNumber, double previous) {
    if (!isUtf8(line)) {
        malformed(lineNumber, "not UTF-8 text");
    }
    std::string_view rest = line;
    const std::string_view timeWord = takeWord(rest);
    const auto at = readSeconds(timeWord);
    if (!at) {
        malformed(lineNumber, fmt::format("'{}' is not a time in seconds (a number 0 or above)", timeWord));
    }
    if (*at < previous) {
        malformed(lineNumber, fmt::format("time {} is before the time {} of the line before", *at, previous));
    }
    const std::string_view kind = takeWord(rest);
    if (kind != "T" && kind != "Q") {
        malformed(lineNumber, fmt::format("'{}' is neither T (traffic) nor Q (QNH)", kind));
    }
    const std::string_view payload = trimLeft(rest);
    if (payload.empty()) {
        malformed(lineNumber, fmt::format("the {} line has no datagram", kind));
    }
    return ScenarioEntry{*at, kind.front(), std::string(payload), lineNumber};
}

} // namespace

bool isUtf8(std::string_view text) {
    for (std::size_t at = 0; at < text.size();) {
        const std::size_t length = utf8SequenceLength(text, at);
        if (length == 0) {
            return false;
        }
        at += length;
    }
    return true;
}

Scenario parseScenario(std::string_view text) {
    if (text.starts_with("\xEF\xBB\xBF")) {
        text.remove_prefix(3);
    }
    Scenario scenario;
    double previous = 0;
    int lineNumber = 0;
    while (!text.empty()) {
        ++lineNumber;
        const std::size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        if (line.ends_with('\r')) {
            line.remove_suffix(1);
        }
        const std::string_view content = trimLeft(line);
        if (content.empty() || content.front() == '#') {
            continue;
        }
        scenario.entries.push_back(parseEntry(line, lineNumber, previous));
        previous = scenario.entries.back().at;
    }
    return scenario;
}

Scenario loadScenario(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    if (!in) {
        throw ScenarioError(fmt::format("cannot read the scenario file {}", file.string()));
    }
    const std::string text{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    if (in.bad()) {
        throw ScenarioError(fmt::format("cannot read the scenario file {}", file.string()));
    }
    return parseScenario(text);
}

std::string replaceNow(std::string_view payload, double utcSeconds) {
    static constexpr std::string_view kToken = "{now}";
    const std::string now = fmt::format("{:.2f}", utcSeconds);
    std::string result;
    result.reserve(payload.size() + 16);
    for (;;) {
        const std::size_t at = payload.find(kToken);
        result.append(payload.substr(0, at));
        if (at == std::string_view::npos) {
            return result;
        }
        result += now;
        payload.remove_prefix(at + kToken.size());
    }
}

} // namespace zeph::rtfeed
