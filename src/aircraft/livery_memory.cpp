#include "aircraft/livery_memory.h"

#include <fmt/format.h>

#include "core/errors.h"
#include "core/log.h"
#include "core/run_flags.h"
#include "model/records.h"
#include "state/status_line.h"

namespace zeph {

RememberedLiveryMap rememberedLiveries;
TextSet failedLiveries;
TextSet failedTypeAirlines;

namespace {

constexpr std::string_view simulatorName = "P3D";

} // namespace

std::string_view gf_rememberedLivery(std::uint32_t hexid) {
    const auto entry = rememberedLiveries.find(hexid);
    if (entry == rememberedLiveries.end()) {
        return {};
    }
    if (failedLiveries.contains(entry->second)) {
        rememberedLiveries.erase(entry);
        return {};
    }
    return entry->second;
}

void lf_handleCreationFailure(const AcProfile& aircraft) {
    if (!runStopping.load() && !userStopped.load()) {
        gf_setStatus(
            fmt::format("{} '{}' could not be created by your Sim!", aircraft.callsign, aircraft.livery),
            true);
    }
    if (!failedLiveries.contains(aircraft.livery)) {
        failedLiveries.emplace(aircraft.livery);
    }
    failedTypeAirlines.insert(fmt::format("{} {}", aircraft.type, aircraft.airline));
    if (failedLiveries.size() >= failedLiveryLimit) {
        const std::string message =
            fmt::format("There are too many liveries that could not be created by {}!", simulatorName);
        gf_logText(fmt::format("\n{}Error 81, {}\n", "===> ", message));
        throw UserErrorException(81, fmt::format("{}, see Log.txt", message));
    }
}

} // namespace zeph
