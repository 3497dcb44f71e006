#include "core/version.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>
#include <stdexcept>

#include <fmt/format.h>
#include <nlohmann/json.hpp>

#include "core/log.h"

namespace zeph {

namespace {

using Limits = std::numeric_limits<std::int32_t>;

constexpr const char* conversionError = "parse error in version string";

bool isDigit(char c) { return c >= '0' && c <= '9'; }

bool isLineEnd(char c) { return c == '\n' || c == '\r'; }

std::size_t digitRunEnd(std::string_view text, std::size_t from) {
    while (from < text.size() && isDigit(text[from])) {
        ++from;
    }
    return from;
}

std::size_t lastDigitRunStart(std::string_view text) {
    std::size_t start = text.size();
    while (start > 0 && isDigit(text[start - 1])) {
        --start;
    }
    return start;
}

std::int32_t digitsToInt32(std::string_view digits) {
    std::int32_t value = 0;
    const char* end = digits.data() + digits.size();
    const auto [stop, error] = std::from_chars(digits.data(), end, value);
    if (error != std::errc{} || stop != end) {
        throw std::runtime_error(conversionError);
    }
    return value;
}

// The integer value of a JSON number. A number beyond 32 bits is refused instead of being cast, which
// would be undefined for a double; fractions are cut off toward zero.
std::int32_t jsonToInt32(const nlohmann::json& value) {
    if (value.is_number_unsigned()) {
        const auto number = value.get<std::uint64_t>();
        if (number > static_cast<std::uint64_t>(Limits::max())) {
            throw std::runtime_error(conversionError);
        }
        return static_cast<std::int32_t>(number);
    }
    if (value.is_number_integer()) {
        const auto number = value.get<std::int64_t>();
        if (number < Limits::min() || number > Limits::max()) {
            throw std::runtime_error(conversionError);
        }
        return static_cast<std::int32_t>(number);
    }
    if (value.is_number_float()) {
        const double number = std::trunc(value.get<double>());
        if (!(number >= Limits::min() && number <= Limits::max())) {
            throw std::runtime_error(conversionError);
        }
        return static_cast<std::int32_t>(number);
    }
    // true and false are not version numbers, though the library would read them as 1 and 0.
    if (value.is_boolean()) {
        throw nlohmann::json::type_error::create(302, "type must be number, but is boolean", &value);
    }
    return value.get<std::int32_t>(); // the library's type error for strings, arrays, objects and null
}

void readJsonField(const nlohmann::json& object, const char* key, std::int32_t& field) {
    const auto found = object.find(key);
    if (found != object.end()) {
        field = jsonToInt32(*found);
    }
}

// Each field is stored as soon as it is read, so an error keeps the fields before it.
void parseInto(std::string_view text, Version& version) {
    if (const auto groups = matchVersionText(text)) {
        version.major = digitsToInt32((*groups)[0]);
        version.minor = digitsToInt32((*groups)[1]);
        version.patch = digitsToInt32((*groups)[2]);
        return;
    }
    const nlohmann::json parsed = nlohmann::json::parse(text);
    if (!parsed.is_object()) {
        return;
    }
    readJsonField(parsed, "major", version.major);
    readJsonField(parsed, "minor", version.minor);
    readJsonField(parsed, "patch", version.patch);
}

} // namespace

bool operator>(const Version& a, const Version& b) {
    if (a.major != b.major) {
        return a.major > b.major;
    }
    if (a.minor != b.minor) {
        return a.minor > b.minor;
    }
    return a.patch > b.patch;
}

// The first run ends at a, the second runs from a + 1 to b, the third from b + 1 to the end of the text,
// with separators at a and b. A backtracking matcher takes the largest a that leaves any match, then the
// largest b for it. The third run must be a tail of the final digit run, which fixes the lowest b; the
// second run is bounded by the digit run that starts after a, so each a is decided in constant time.
std::optional<std::array<std::string_view, 3>> matchVersionText(std::string_view text) {
    const std::size_t size = text.size();
    const std::size_t firstRunEnd = digitRunEnd(text, 0);
    const std::size_t lastRunStart = lastDigitRunStart(text);
    if (size < 5 || firstRunEnd == 0 || lastRunStart == size) {
        return std::nullopt;
    }
    // After a separator inside the first run, the second run reaches to the first run's end; after the
    // separator that ends the first run, it reaches to the end of the next run.
    const std::size_t runAfterFirst = digitRunEnd(text, std::min(firstRunEnd + 1, size));
    const std::size_t lowestB = std::max<std::size_t>(lastRunStart, 1) - 1;
    for (std::size_t a = std::min(firstRunEnd, size - 4); a >= 1; --a) {
        if (isLineEnd(text[a])) {
            continue;
        }
        const std::size_t b = std::min(a == firstRunEnd ? runAfterFirst : firstRunEnd, size - 2);
        // Only the byte that ends the second run can be a line end, and any smaller b would leave that
        // byte inside the third run.
        if (!isLineEnd(text[b]) && b >= std::max(a + 2, lowestB)) {
            return std::array{text.substr(0, a), text.substr(a + 1, b - a - 1), text.substr(b + 1)};
        }
    }
    return std::nullopt;
}

Version gf_parseVersion(std::string_view text) {
    Version version;
    if (text.empty()) {
        return version;
    }
    try {
        parseInto(text, version);
    } catch (const std::exception& error) {
        gf_logText(fmt::format("{} exception: {}", "VersionData", error.what()));
    }
    return version;
}

std::string gf_versionText(const Version& version) {
    return fmt::format("{}.{}.{}", version.major, version.minor, version.patch);
}

std::string lf_versionTextThunk(const Version& version) { return gf_versionText(version); }

} // namespace zeph
