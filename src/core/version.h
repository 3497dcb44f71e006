#pragma once
#include <cstdint>
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

std::string gf_versionText(const Version& version);
std::string lf_versionTextThunk(const Version& version);

inline constexpr Version programVersion{11, 10, 5};

} // namespace zeph
