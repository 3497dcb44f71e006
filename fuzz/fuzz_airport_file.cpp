// Park, learned and handmade airport files: any document that pugixml loads gives stands or a
// UserErrorException for a bad id, never a crash or another exception; every stand read has a real
// position, and every use a weekday.
#include <cmath>
#include <cstddef>
#include <cstdint>

#include <pugixml.hpp>

#include "airports/airport_file_format.h"
#include "core/errors.h"

namespace {

bool sound(const zeph::ParkPos& stand) {
    if (!std::isfinite(stand.latitude) || !std::isfinite(stand.longitude) ||
        std::fabs(stand.latitude) > 90.0 || std::fabs(stand.longitude) > 180.0 ||
        !std::isfinite(stand.radius)) {
        return false;
    }
    for (const zeph::StandUse& use : stand.uses) {
        if (use.day < 1 || use.day > 7) {
            return false;
        }
    }
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    pugi::xml_document document;
    if (!document.load_buffer(data, size)) {
        return 0;
    }
    zeph::lf_clearParkPositions();
    try {
        zeph::lf_readParkPositions(document);
    } catch (const zeph::UserErrorException&) {
    }
    bool dropUses = false;
    zeph::ParkPos fixed("A1", {}, zeph::GeoPoint{52.3, 4.75}, 0.0, 20.0, false, false, false);
    for (const pugi::xpath_node& found : document.select_nodes("//parkpos")) {
        zeph::lf_readLearnedStand({"A1", found.node(), &dropUses}, fixed);
    }
    bool allSound = sound(fixed);
    for (const zeph::ParkPos& stand : zeph::standList) {
        allSound = allSound && sound(stand);
    }
    if (!allSound) {
        __builtin_trap();
    }
    return 0;
}
