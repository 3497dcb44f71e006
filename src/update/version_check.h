#pragma once
#include <optional>
#include <string_view>

#include <nlohmann/json.hpp>

#include "core/version.h"

// The version check at the first start of the process: versions.json from the maker's downloads folder
// against the program, its data files and its scans.

namespace zeph {

// False only after a program update was prepared and NEW VERSION recorded (delay 0). A site that cannot be
// reached or a versions.json that cannot be read costs one log line and gives true. Once the run is
// stopping no further section is taken. Throws only the folder errors of preparing new_version.
bool gf_checkVersions();

// "<section> updated to <version>", "<section> version up-to-date", "==> <section> version not found".
void lf_logUpdated(std::string_view section, const Version& version);
void lf_logUpToDate(std::string_view section);
void lf_logVersionNotFound(std::string_view section);

// The version of section in versions, when versions is an object whose section is an object with the JSON
// integers "major", "minor" and "patch", each from 0 to the 32-bit maximum. Never throws.
std::optional<Version> lf_webVersion(const nlohmann::json& versions, std::string_view section);

} // namespace zeph
