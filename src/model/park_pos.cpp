#include "model/park_pos.h"

#include <utility>

namespace zeph {

namespace {

constexpr std::size_t kAdjacentRoom = 8;

} // namespace

ParkPos::ParkPos(std::string&& standId, std::vector<StandUse>&& standUses, GeoPoint position,
                 double headingRadians, double radiusMetres, bool isCargo, bool isRamp, bool isHeli)
    : uses(std::move(standUses)), id(std::move(standId)), latitude(position.lat), longitude(position.lon),
      heading(headingRadians), radius(radiusMetres * kNmPerMetre), cargo(isCargo), ramp(isRamp),
      heli(isHeli) {
    adjacentStands.reserve(kAdjacentRoom);
}

} // namespace zeph
