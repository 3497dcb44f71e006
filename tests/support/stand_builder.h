#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "core/geodesy.h"

// Stand lists for engine tests, placed in metres from a point and filled into standList through
// gf_appendStand. Stands are numbered 1..n in the order given; adjacency is as given, else computed by the
// park reader's rule (two stands overlap when r1 + r2 > 1.1 x their distance).

namespace zeph::test {

// Empty defaults ({}) let a test name only the fields it needs.
struct UseSpec {
    std::uint32_t day = 3;
    std::uint32_t firstSlot = 20;
    std::uint32_t lastSlot = 20;
    std::string reg{};
    std::string airline{};
    std::string type{};
    std::string callsign{};
    std::string callsign2{};
    bool real = true;
    bool fromParkFile = false;
    bool coupled = false;
    std::uint32_t id = 0; // 0: the next id of its stand
};

struct StandSpec {
    std::string id{};
    double bearingDeg = 0.0; // from the builder's origin
    double metres = 0.0;
    double headingDeg = 0.0;
    double radiusMetres = 20.0;
    bool cargo = false;
    bool heli = false;
    std::optional<std::vector<std::uint32_t>> adjacent{}; // none: computed
    std::vector<UseSpec> uses{};
};

class StandBuilder {
public:
    explicit StandBuilder(GeoPoint origin);

    StandBuilder& stand(StandSpec spec);
    // count stands named prefix1..prefixN in a line along bearingDeg, spacing metres apart, the first at the
    // origin; each faces headingDeg.
    StandBuilder& row(int count, double spacingMetres, double bearingDeg = 90.0, double radiusMetres = 20.0,
                      const std::string& prefix = "S", double headingDeg = 0.0);
    // Adds a use to the stand added last, or to the stand with this id.
    StandBuilder& use(UseSpec use, const std::string& standId = "");

    // Empties standList and fills it with the stands built so far.
    void install() const;

    // Where a stand of the builder stands.
    GeoPoint pointOf(const std::string& standId) const;
    const std::vector<StandSpec>& stands() const { return stands_; }

private:
    StandSpec& find(const std::string& standId);

    GeoPoint origin_;
    std::vector<StandSpec> stands_;
};

// A point this many metres from origin along bearingDeg.
GeoPoint metresFrom(GeoPoint origin, double bearingDeg, double metres);

} // namespace zeph::test
