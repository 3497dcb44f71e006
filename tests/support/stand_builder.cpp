#include "support/stand_builder.h"

#include <stdexcept>
#include <utility>

#include "airports/stand_use.h"
#include "airports/stands.h"

namespace zeph::test {

namespace {

constexpr double metresPerFoot = 0.3048;

StandUse makeUse(const UseSpec& spec, std::uint32_t id) {
    StandUse use;
    use.airline = spec.airline;
    use.type = spec.type;
    use.reg = spec.reg;
    use.callsign = spec.callsign;
    use.callsign2 = spec.callsign2;
    for (std::uint32_t slot = spec.firstSlot; slot <= spec.lastSlot; ++slot) {
        use.slots.set(slot);
    }
    use.id = id;
    use.day = spec.day;
    use.fromParkFile = spec.fromParkFile ? 1 : 0;
    use.real = spec.real ? 1 : 0;
    use.coupled = spec.coupled ? 1 : 0;
    return use;
}

std::vector<std::vector<std::uint32_t>> overlaps(const std::vector<ParkPos>& stands) {
    std::vector<std::vector<std::uint32_t>> adjacent(stands.size());
    for (std::size_t i = 0; i < stands.size(); ++i) {
        for (std::size_t j = i + 1; j < stands.size(); ++j) {
            const double distance = gf_greatCircleDistance({stands[i].latitude, stands[i].longitude},
                                                           {stands[j].latitude, stands[j].longitude});
            if (stands[i].radius + stands[j].radius > 1.1 * distance) {
                adjacent[i].push_back(static_cast<std::uint32_t>(j + 1));
                adjacent[j].push_back(static_cast<std::uint32_t>(i + 1));
            }
        }
    }
    return adjacent;
}

} // namespace

GeoPoint metresFrom(GeoPoint origin, double bearingDeg, double metres) {
    return gf_destinationPoint(origin, bearingDeg * kDegToRad, metres / metresPerFoot);
}

StandBuilder::StandBuilder(GeoPoint origin) : origin_(origin) {}

StandBuilder& StandBuilder::stand(StandSpec spec) {
    stands_.push_back(std::move(spec));
    return *this;
}

StandBuilder& StandBuilder::row(int count, double spacingMetres, double bearingDeg, double radiusMetres,
                                const std::string& prefix, double headingDeg) {
    for (int k = 0; k < count; ++k) {
        stand(StandSpec{.id = prefix + std::to_string(k + 1),
                        .bearingDeg = bearingDeg,
                        .metres = k * spacingMetres,
                        .headingDeg = headingDeg,
                        .radiusMetres = radiusMetres,
                        .adjacent = std::nullopt,
                        .uses = {}});
    }
    return *this;
}

StandBuilder& StandBuilder::use(UseSpec use, const std::string& standId) {
    find(standId).uses.push_back(std::move(use));
    return *this;
}

StandSpec& StandBuilder::find(const std::string& standId) {
    if (stands_.empty()) {
        throw std::logic_error("stand_builder: a use before any stand");
    }
    if (standId.empty()) {
        return stands_.back();
    }
    for (StandSpec& spec : stands_) {
        if (spec.id == standId) {
            return spec;
        }
    }
    throw std::logic_error("stand_builder: no stand " + standId);
}

GeoPoint StandBuilder::pointOf(const std::string& standId) const {
    for (const StandSpec& spec : stands_) {
        if (spec.id == standId) {
            return metresFrom(origin_, spec.bearingDeg, spec.metres);
        }
    }
    throw std::logic_error("stand_builder: no stand " + standId);
}

void StandBuilder::install() const {
    lf_clearParkPositions();
    std::vector<ParkPos> built;
    for (const StandSpec& spec : stands_) {
        std::vector<StandUse> uses;
        for (const UseSpec& use : spec.uses) {
            uses.push_back(makeUse(use, use.id != 0 ? use.id : static_cast<std::uint32_t>(uses.size() + 1)));
        }
        built.emplace_back(std::string(spec.id), std::move(uses),
                           metresFrom(origin_, spec.bearingDeg, spec.metres), spec.headingDeg * kDegToRad,
                           spec.radiusMetres, spec.cargo, false, spec.heli);
        built.back().number = static_cast<std::uint32_t>(built.size());
    }
    const auto computed = overlaps(built);
    for (std::size_t k = 0; k < built.size(); ++k) {
        built[k].adjacentStands = stands_[k].adjacent.value_or(computed[k]);
        gf_appendStand(std::move(built[k]));
    }
}

} // namespace zeph::test
