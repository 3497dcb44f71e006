#include "aircraft/regcodes.h"

#include "aircraft/aircraft_database.h"

namespace zeph {

std::optional<RegcodeInfo> gf_lookupRegcode(const std::string& registration) {
    if (registration.empty()) {
        return std::nullopt;
    }
    const auto found = regcodeTable.find(registration);
    if (found == regcodeTable.end()) {
        return std::nullopt;
    }
    const RegcodeRecord& record = found->second;
    return RegcodeInfo{record.airl, record.type, record.opr, record.cargo};
}

} // namespace zeph
