#include "aircraft/livery_matcher.h"

#include <string_view>

#include "aircraft/matching_tables.h"
#include "sim/livery_memory.h"
#include "traffic/records.h"

namespace zeph {

namespace {

std::string_view firstUsableTitle(std::string_view airline, std::string_view type) {
    const auto types = airlineLiveryTable.find(airline);
    if (types == airlineLiveryTable.end()) {
        return {};
    }
    const auto titles = types->second.find(type);
    if (titles == types->second.end()) {
        return {};
    }
    for (const LiveryTitle& livery : titles->second) {
        if (!failedLiveries.contains(livery.title)) {
            return livery.title;
        }
    }
    return {};
}

} // namespace

void gf_matchLiveryLive(AcProfile& aircraft) {
    std::string_view title = firstUsableTitle(aircraft.airline, aircraft.type);
    if (title.empty()) {
        title = firstUsableTitle("ZZZ", aircraft.type);
    }
    aircraft.livery = title;
    aircraft.reversedThrottleLivery = title.find("FSLTL_") != std::string_view::npos ? 1 : 0;
}

} // namespace zeph
