#include "sim/livery_memory.h"

namespace zeph {

std::unordered_map<std::uint32_t, std::string_view> rememberedLiveries;

} // namespace zeph
