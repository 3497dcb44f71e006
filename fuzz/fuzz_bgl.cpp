// BGL scenery files: any bytes walk to an end, with at most an std::out_of_range for a word past the end;
// every stand decoded has a real position and a radius the walk accepted.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <stdexcept>
#include <vector>

#include "airports/airport_database.h"
#include "airports/bgl_file.h"
#include "airports/scan_log.h"
#include "fuzz/fuzz_airports.h"

namespace {

bool sound(const zeph::ParkPos& stand) {
    return std::isfinite(stand.latitude) && std::isfinite(stand.longitude) &&
           std::fabs(stand.latitude) <= 90.0 && std::fabs(stand.longitude) <= 180.0 &&
           std::isfinite(stand.radius) && stand.radius > 0.0 && std::isfinite(stand.heading) &&
           !stand.id.empty();
}

void checkAirport(zeph::ApfData& airport, const std::uint32_t& helipads) {
    if (helipads < 1 || airport.code.size() != 4) {
        __builtin_trap();
    }
    for (const zeph::ParkPos& stand : airport.stands) {
        if (!sound(stand)) {
            __builtin_trap();
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (zeph::airportCodes.empty()) {
        zeph::fuzz::addKnownAirports(
            {{"EHAM", "", 0, 0, 0, 0}, {"EGLL", "", 0, 0, 0, 0}, {"LFPG", "", 0, 0, 0, 0}});
    }
    std::vector<std::uint32_t> words((size + 3) / 4, 0);
    for (std::size_t i = 0; i < size; ++i) {
        words[i / 4] |= static_cast<std::uint32_t>(data[i]) << (8 * (i % 4));
    }
    const zeph::BglAirportSink sink{
        [](zeph::ApfData&, std::uint32_t& archived, const std::filesystem::path&) {
            archived = 0;
            return false;
        },
        checkAirport};
    try {
        zeph::lf_walkBglWords(words, "fuzz.bgl", sink);
    } catch (const std::out_of_range&) {
    }
    const std::lock_guard lock(zeph::scanLogMutex);
    zeph::scanLog.clear();
    return 0;
}
