#include "core/version.h"

#include <fmt/format.h>

namespace zeph {

std::string gf_versionText(const Version& version) {
    return fmt::format("{}.{}.{}", version.major, version.minor, version.patch);
}

std::string lf_versionTextThunk(const Version& version) { return gf_versionText(version); }

} // namespace zeph
