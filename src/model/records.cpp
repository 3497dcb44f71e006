#include "model/records.h"

#include <array>
#include <stdexcept>
#include <utility>

namespace zeph {

namespace {

// The message every table look-up of an unknown key gives, so callers and logs see one text whatever the
// table.
constexpr const char* kInvalidKey = "invalid unordered_map<K, T> key";

// One row per AcKind, in the order of its values.
constexpr std::array<KindValues, 6> kKindValues{{
    // rotation, climb, turn rate (deg); climb step, slow taxi; flare, touch-down, rotation, climb passes;
    // rotation speed (kt); pitch step, largest bank, bank step (deg); climb-out height (ft)
    {-9.0, -15.0, 0.15, 0.5, 5.0, 250, 250, 100, 200, 90.0, 0.01, 40.0, 0.035, 625.0},       // Light
    {-8.0, -18.0, 0.10, 0.75, 4.5, 300, 300, 200, 250, 110.0, 0.0085, 35.0, 0.0275, 2050.0}, // Buzjets
    {-6.0, -16.5, 0.07, 0.6, 4.0, 400, 350, 200, 300, 140.0, 0.0075, 30.0, 0.02, 2050.0},    // Large
    {-5.0, -12.5, 0.05, 0.5, 3.0, 450, 450, 250, 400, 150.0, 0.005, 20.0, 0.015, 2050.0},    // Heavy
    {-6.0, -20.0, 0.10, 1.0, 4.5, 150, 150, 100, 200, 220.0, 0.03, 90.0, 0.1, 625.0},        // HighPerf
    {-20.0, -30.0, 0.20, 0.75, 5.0, 100, 100, 100, 100, 0.0, 0.03, 75.0, 0.06, 625.0},       // Rotorcraft
}};

constexpr std::array<std::string_view, 6> kCategoryNames{"Light", "Buzjets",  "Large",
                                                         "Heavy", "HighPerf", "Rotorcraft"};
constexpr std::array<std::string_view, 8> kGroundStateNames{
    "pushing_back", "pushed_back", "taxi", "take_off", "flying", "parking", "parked", "birth"};
constexpr std::array<std::string_view, 5> kSimStateNames{"buffer", "adding2sim", "active", "liveryrespawn",
                                                         "removingfromsim"};

template <typename T, std::size_t N> const T& entryOf(const std::array<T, N>& table, std::uint32_t key) {
    if (key >= N) {
        throw std::out_of_range(kInvalidKey);
    }
    return table[key];
}

} // namespace

std::string_view gf_categoryName(std::uint32_t kind) { return entryOf(kCategoryNames, kind); }
std::string_view gf_groundStateName(std::uint32_t phase) { return entryOf(kGroundStateNames, phase); }
std::string_view gf_simStateName(std::uint32_t state) { return entryOf(kSimStateNames, state); }

const KindValues& kindValuesOf(std::uint32_t kind) { return entryOf(kKindValues, kind); }

StaticAc::StaticAc(AcProfile&& profile, std::uint32_t stand, double latitude, double longitude,
                   double heading, bool cargoAtStand)
    : AcProfile(std::move(profile)), standLatitude(latitude), standLongitude(longitude),
      standHeading(heading), standNumber(stand), cargoStand(cargoAtStand ? 1 : 0) {}

LiveAc::LiveAc(const StreamPos& first, AcProfile&& profile, double reportTime)
    : StaticAc(std::move(profile), 0, 0.0, 0.0, 0.0, false), stream{first}, lastReportTime(reportTime) {}

void lf_setPhase(LiveAc& aircraft, AcPhase phase) {
    if (aircraft.phase != phase) {
        aircraft.previousPhase = aircraft.phase;
        aircraft.phase = phase;
    }
}

} // namespace zeph
