#pragma once
#include <cstdint>
#include <string_view>
#include <unordered_map>

// The livery chosen for each live aircraft, by hexid, offered again when the aircraft spawns again. The
// traffic thread's.

namespace zeph {

extern std::unordered_map<std::uint32_t, std::string_view> rememberedLiveries;

} // namespace zeph
