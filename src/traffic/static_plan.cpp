#include "traffic/static_plan.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include <gsl/narrow>

#include "airports/stands.h"
#include "core/strings.h"
#include "settings/parameter_table.h"
#include "state/main_window_state.h"
#include "state/seam_trace.h"
#include "traffic/traffic_tables.h"

namespace zeph {

// Minimal body, completed by the static parking: the entry is taken off the plan, nothing is built.
void lf_detcs() {
    if (!staticPlan.empty()) {
        staticPlan.pop_back();
    }
}

std::int64_t lf_wantedStaticCount() {
    const std::int64_t maxPark = MAX_PARK_SEL.get();
    if (maxPark <= 0) {
        mainWindowState.maxPark.store(0);
        mainWindowState.maxParkPercent.store(parking_percentage.get());
        return 0;
    }
    const std::int32_t custom = CUSTOM_PARKING_PERCENTAGE.get();
    const std::int64_t percent = custom >= 0 ? custom : parking_percentage.get();
    const auto stands = static_cast<std::int64_t>(standList.size());
    std::int64_t count = 1;
    if (stands > 1 && (stands > 3 || percent >= 50)) {
        const double rounded = std::round(static_cast<double>(percent * stands) / 100.0);
        // Converting a double beyond the 32-bit range is undefined: refuse it with the narrowing error first.
        if (!(rounded >= std::numeric_limits<std::int32_t>::min() &&
              rounded <= std::numeric_limits<std::int32_t>::max())) {
            throw gsl::narrowing_error{};
        }
        count = gsl::narrow<std::int32_t>(rounded);
    }
    const std::int64_t wanted = std::min(maxPark, count);
    mainWindowState.maxPark.store(static_cast<std::int32_t>(wanted));
    mainWindowState.maxParkPercent.store(gf_percentage(wanted, stands));
    mainWindowState.invalidateArea(countersArea);
    return wanted;
}

// Minimal stand-in until the static parking lands.
void lf_parkingAdjustments() { noteSeamCall("lf_parkingAdjustments"); }

} // namespace zeph
