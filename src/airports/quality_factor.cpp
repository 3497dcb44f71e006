#include <algorithm>
#include <bitset>
#include <cmath>
#include <fmt/format.h>
#include <gsl/narrow>

#include "airports/park_airport_file.h"
#include "airports/stands.h"

namespace zeph {

ApfHeader apfHeader;
std::pair<std::int32_t, std::int32_t> parkQf{0, 0};
std::filesystem::path apfLearnedFile;
bool learnedMergeIncomplete = false;

namespace {

// The radius is stored in nautical miles, so every stand of a real airport weighs 0.3.
double lf_standWeight(const ParkPos& stand) {
    if (stand.radius <= 7.0) {
        return 0.3;
    }
    return stand.radius <= 10.0 ? 1.5 : 1.0;
}

// The score of the stand's uses of one kind (real or soft), before weighting; 0 without such uses.
double lf_useScore(const ParkPos& stand, bool real) {
    std::int64_t count = 0;
    std::int64_t slots = 0;
    std::bitset<8> days;
    for (const StandUse& use : stand.uses) {
        if (use.id == 0 || (use.real != 0) != real) {
            continue;
        }
        ++count;
        slots += static_cast<std::int64_t>(use.slots.count());
        if (use.day >= 1 && use.day <= 7) {
            days.set(use.day);
        }
    }
    if (count == 0) {
        return 0.0;
    }
    return static_cast<double>(std::min<std::int64_t>(20 * count, 4000) + 10000 +
                               100 * static_cast<std::int64_t>(days.count()) +
                               2 * std::min<std::int64_t>(slots, 600));
}

std::int32_t lf_factor(double score, double weights) {
    const auto rounded = std::llround(score / weights * 0.00625);
    return std::clamp(gsl::narrow<std::int32_t>(rounded), 0, 100);
}

} // namespace

std::pair<std::int32_t, std::int32_t> lf_qualityFactor() { return lf_qualityFactor(standList); }

std::pair<std::int32_t, std::int32_t> lf_qualityFactor(const std::vector<ParkPos>& stands) {
    const bool anyUse =
        std::any_of(stands.begin(), stands.end(), [](const ParkPos& s) { return !s.uses.empty(); });
    if (!anyUse) {
        return {-1, -1};
    }
    double weights = 0.0;
    double real = 0.0;
    double soft = 0.0;
    for (const ParkPos& stand : stands) {
        const double weight = lf_standWeight(stand);
        weights += weight;
        real += lf_useScore(stand, true) * weight;
        soft += lf_useScore(stand, false) * weight;
    }
    if (weights <= 0.0) {
        return {0, 0};
    }
    return {lf_factor(real, weights), lf_factor(soft, weights)};
}

std::string lf_qualityText() {
    const auto [real, soft] = parkQf;
    if (real < 0 && soft < 0) {
        return "  ";
    }
    return real < 45 ? fmt::format("{:2}/{:2}", real, soft) : fmt::format("{:2}", real);
}

} // namespace zeph
