#pragma once
#include <optional>
#include <string>

// Looking up registrations in the aircraft database's registration table.

namespace zeph {

// The answer of a registration look-up.
struct RegcodeInfo {
    std::string airl; // airline code
    std::string type; // aircraft type
    std::string opr;  // operator code
    bool cargo = false;
};

// Empty for an empty or unknown registration; else the table's record for it. For now only the registration
// exactly as written is tried; the variants with a dash inserted come with the registration-code readers.
std::optional<RegcodeInfo> gf_lookupRegcode(const std::string& registration);

} // namespace zeph
