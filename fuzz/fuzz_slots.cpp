#include <cstddef>
#include <cstdint>
#include <string_view>

#include "core/half_hours.h"

// Whatever a slot text holds, the set read from it must survive being written and read back.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const zeph::HalfHourSet slots = zeph::gf_hours2bitset(text);
    const auto written = zeph::gf_bitset2hours(slots);
    if (written.has_value() == slots.none()) {
        __builtin_trap();
    }
    if (written && zeph::gf_hours2bitset(*written) != slots) {
        __builtin_trap();
    }
    return 0;
}
