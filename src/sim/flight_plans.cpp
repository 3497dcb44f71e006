#include "sim/flight_plans.h"

#include <system_error>

#include <fmt/format.h>

#include "app/seam_trace.h"
#include "core/log.h"
#include "settings/data_tree.h"

namespace zeph {

std::filesystem::path flightPlanFolder;

bool gf_createFlightPlanFolder() {
    noteSeamCall("gf_createFlightPlanFolder");
    flightPlanFolder = flightPlanDir();
    std::error_code error;
    std::filesystem::create_directories(flightPlanFolder, error);
    if (error) {
        gf_logText(fmt::format("gf_createFlightPlanFolder: {}", error.message()));
    }
    return std::filesystem::exists(flightPlanFolder);
}

} // namespace zeph
