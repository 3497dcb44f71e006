#pragma once
#include <cstddef>
#include <cstdint>
#include <list>
#include <string>
#include <string_view>
#include <vector>

namespace zeph {

// Blank, tab, LF and CR: the only characters trimming removes.
inline constexpr std::string_view blankSet = " \t\n\r";

// Every token between delimiters, trimmed; empty tokens are kept, an empty text gives no token.
std::vector<std::string> gf_split(const std::string& text, char delimiter);
std::vector<std::string> gf_splitCommaList(const std::string& text);
std::vector<std::string> gf_splitAtComma(const std::string& text);
// The trimmed tokens sorted by byte value, each kept once.
std::list<std::string> gf_splitCommaView(const std::string& text);

std::string gf_trim(std::string_view text);
// Rebuilds the list with trimmed tokens only when it holds a blank character.
void gf_removeBlanksInCommaList(std::string& text);
std::string gf_joinWithComma(const std::vector<std::string>& items);

bool gf_equalsWithStar(const std::string& a, const std::string& b); // b == a + "*"
bool gf_equalsUpper(const std::string& a, std::string b);           // a == upper-cased b
int gf_toUpperChar(unsigned char c);

// round(part * 100 / whole), 0 when whole < 1; gsl::narrowing_error when the result does not fit an int.
int gf_percentage(std::int64_t part, std::int64_t whole);

// A line of stars of width + extra (rounded up to even) with the title in its middle, or the title alone
// when it does not fit.
std::string gf_starBanner(std::int64_t width, std::int64_t extra, bool newlineBefore, bool newlineAfter,
                          const std::string& title);

// "s" unless the count is 1 (or negative, for the signed forms).
std::string gf_plural(int count);
std::string gf_plural(std::int64_t count);
std::string gf_plural(std::size_t count);

// "3" for 3.0, "3.5" for 3.5.
std::string gf_floatText(float x);

} // namespace zeph
