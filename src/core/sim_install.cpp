#include "core/sim_install.h"

#include "platform/registry.h"

namespace zeph {

std::optional<std::string_view> p3dRegistryKey(int version) {
    switch (version) {
    case 5:
        return p3dV5Key;
    case 6:
        return p3dV6Key;
    default:
        return std::nullopt;
    }
}

bool gf_isP3DInstalled(int version) {
    auto key = p3dRegistryKey(version);
    return key && regKeyExists(RegHive::LocalMachine, *key);
}

WideString gf_getP3DSetupPath(int version) {
    auto key = p3dRegistryKey(version);
    if (!key) {
        return {};
    }
    return regGetString(RegHive::LocalMachine, *key, p3dSetupPathValue).value_or(WideString{});
}

} // namespace zeph
