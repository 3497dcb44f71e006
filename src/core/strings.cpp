#include "core/strings.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <limits>

#include <fmt/format.h>
#include <gsl/narrow>

namespace zeph {

namespace {

// Calls store(token) for every trimmed token of text between delimiters, in order.
template <typename Store> void forEachToken(const std::string& text, char delimiter, Store store) {
    if (text.empty()) {
        return;
    }
    std::size_t start = 0;
    while (true) {
        const std::size_t end = text.find(delimiter, start);
        if (end == std::string::npos) {
            store(gf_trim(std::string_view(text).substr(start)));
            return;
        }
        store(gf_trim(std::string_view(text).substr(start, end - start)));
        start = end + 1;
    }
}

} // namespace

std::vector<std::string> gf_split(const std::string& text, char delimiter) {
    std::vector<std::string> tokens;
    if (!text.empty()) {
        tokens.reserve(static_cast<std::size_t>(std::count(text.begin(), text.end(), delimiter)) + 1);
    }
    forEachToken(text, delimiter, [&tokens](std::string token) { tokens.push_back(std::move(token)); });
    return tokens;
}

std::vector<std::string> gf_splitCommaList(const std::string& text) { return gf_split(text, ','); }

std::vector<std::string> gf_splitAtComma(const std::string& text) {
    std::vector<std::string> tokens;
    forEachToken(text, ',', [&tokens](std::string token) { tokens.push_back(std::move(token)); });
    return tokens;
}

std::list<std::string> gf_splitCommaView(const std::string& text) {
    std::list<std::string> tokens;
    forEachToken(text, ',', [&tokens](std::string token) { tokens.push_back(std::move(token)); });
    tokens.sort();
    tokens.unique();
    return tokens;
}

std::string gf_trim(std::string_view text) {
    const std::size_t first = text.find_first_not_of(blankSet);
    if (first == std::string_view::npos) {
        return {};
    }
    const std::size_t last = text.find_last_not_of(blankSet);
    return std::string(text.substr(first, last - first + 1));
}

void gf_removeBlanksInCommaList(std::string& text) {
    // A list without blanks is left byte for byte as it is.
    if (text.find_first_of(blankSet) == std::string::npos) {
        return;
    }
    text = gf_joinWithComma(gf_split(text, ','));
}

std::string gf_joinWithComma(const std::vector<std::string>& items) {
    return fmt::format("{}", fmt::join(items, ","));
}

bool gf_equalsWithStar(const std::string& a, const std::string& b) {
    return b.size() == a.size() + 1 && b.back() == '*' && b.compare(0, a.size(), a) == 0;
}

bool gf_equalsUpper(const std::string& a, std::string b) {
    std::transform(b.begin(), b.end(), b.begin(), gf_toUpperChar);
    return a == b;
}

int gf_toUpperChar(unsigned char c) { return std::toupper(c); }

int gf_percentage(std::int64_t part, std::int64_t whole) {
    const double share = whole < 1 ? 0.0 : static_cast<double>(part) * 100.0 / static_cast<double>(whole);
    const double rounded = std::round(share);
    // gsl::narrow converts before it compares, and converting a double beyond int's range is undefined:
    // refuse such a value first, with the same error.
    if (!(rounded >= std::numeric_limits<int>::min() && rounded <= std::numeric_limits<int>::max())) {
        throw gsl::narrowing_error{};
    }
    return gsl::narrow<int>(rounded);
}

std::string gf_starBanner(std::int64_t width, std::int64_t extra, bool newlineBefore, bool newlineAfter,
                          const std::string& title) {
    std::string banner = newlineBefore ? "\n" : "";
    std::int64_t stars = width + extra;
    if (stars % 2 != 0) {
        ++stars;
    }
    if (title.empty()) {
        banner.append(static_cast<std::size_t>(std::max<std::int64_t>(stars, 0)), '*');
    } else if (stars > static_cast<std::int64_t>(title.size()) + 2) {
        const std::string side(static_cast<std::size_t>(stars / 2 - 1), '*');
        banner += side + ' ' + title + ' ' + side;
    } else {
        banner += title;
    }
    if (newlineAfter) {
        banner += '\n';
    }
    return banner;
}

std::string gf_plural(int count) { return count == 1 || count < 0 ? "" : "s"; }

std::string gf_plural(std::int64_t count) { return count == 1 || count < 0 ? "" : "s"; }

std::string gf_plural(std::size_t count) { return count == 1 ? "" : "s"; }

std::string gf_floatText(float x) {
    return std::fmod(x, 1.0f) == 0.0f ? fmt::format("{:.0f}", x) : fmt::format("{:.1f}", x);
}

} // namespace zeph
