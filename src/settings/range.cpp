#include "settings/range.h"

#include <algorithm>

#include "settings/control_sink.h"
#include "settings/parameter_table.h"

namespace zeph {

std::atomic<std::int32_t> rememberedRange{40};

std::uint32_t gf_setRange(std::int32_t nm, bool remember) {
    if (remember) {
        rememberedRange.store(nm);
    }
    const std::int32_t clamped = RANGE.clamp(nm);
    RANGE.setValue(clamped);
    controlSink().selectComboEntry(RANGE, clamped);
    const std::int32_t bounded = std::clamp(nm, RANGE.min, maxLateralRangeNm);
    const std::uint32_t meters = static_cast<std::uint32_t>(bounded) * metersPerNm;
    lateralRangeNm.store(static_cast<double>(bounded), std::memory_order_relaxed);
    lateralRangeMeters.store(meters, std::memory_order_relaxed);
    return meters;
}

std::int32_t chosenRangeNm() { return AUTO_RANGE.get() ? RANGE.clamp(rememberedRange.load()) : RANGE.get(); }

} // namespace zeph
