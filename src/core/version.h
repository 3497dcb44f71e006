#pragma once
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace zeph {

struct Version {
    std::int32_t major = 0;
    std::int32_t minor = 0;
    std::int32_t patch = 0;

    friend bool operator==(const Version&, const Version&) = default;
};

// Ordered by major, then minor, then patch.
bool operator>(const Version& a, const Version& b);

// "major.minor.patch" (any one character between the numbers) or a JSON object with "major", "minor" and
// "patch". Never throws: a problem is logged and the fields read so far are kept.
Version gf_parseVersion(std::string_view text);

// The three digit runs of a whole text of the form digits, any character, digits, any character, digits,
// split as a greedy backtracking matcher of "(\d+).(\d+).(\d+)" splits it: each run takes as many digits
// as still leaves a match for the rest. The separators are any byte except LF and CR. Runs in time
// linear in the text's length, so a long text cannot stall the caller. No value when the text has
// another form.
std::optional<std::array<std::string_view, 3>> matchVersionText(std::string_view text);

std::string gf_versionText(const Version& version);
std::string lf_versionTextThunk(const Version& version);

inline constexpr Version programVersion{11, 10, 5};

} // namespace zeph
