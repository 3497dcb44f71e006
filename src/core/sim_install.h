#pragma once
#include <optional>
#include <string_view>

#include "platform/wide_string.h"

namespace zeph {

// Where the Prepar3D installers leave their mark, under HKEY_LOCAL_MACHINE.
inline constexpr std::string_view p3dV5Key = "SOFTWARE\\Lockheed Martin\\Prepar3D v5";
inline constexpr std::string_view p3dV6Key = "SOFTWARE\\Lockheed Martin\\Prepar3D v6";
inline constexpr std::string_view p3dSetupPathValue = "SetupPath";

// The key of version 5 or 6; no other version has one.
std::optional<std::string_view> p3dRegistryKey(int version);

// True when the key of that version exists; false for every other version, without reading the registry.
bool gf_isP3DInstalled(int version);

// The "SetupPath" string of that version's key; empty when the key or the string is missing, when the value
// is not a string, or for any other version.
WideString gf_getP3DSetupPath(int version);

} // namespace zeph
