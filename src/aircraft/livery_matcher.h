#pragma once
#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

// The choice of an installed livery for an aircraft, from the most specific evidence to the most general:
// its registration, its airline and type, its airline on a similar type, then generic and category liveries,
// down to MATCHING_DEPTH. Traffic thread only; it reads the matching tables and writes the aircraft record.

namespace zeph {

struct AcProfile;
struct ParkPos;

inline constexpr std::string_view kGenericAirline = "ZZZ";
inline constexpr std::string_view kPrivateAirline = "PVT";
inline constexpr std::string_view kReversedThrottleMark = "FSLTL_";

// Accepted live matches per ladder step 0-6, for the whole process.
extern std::array<std::uint32_t, 7> matchStepCounts;

using AirlineTypeKey = std::pair<std::string, std::string>;

// A live aircraft: sets its livery and reversed-throttle flag, or leaves the livery empty.
void gf_matchLiveryLive(AcProfile& ac);
// A static aircraft at stand: its cargo flag comes from the stand; true when a livery is set.
bool gf_matchLivery(AcProfile& ac, const ParkPos& stand);

// One of the candidates, preferring titles that are not special liveries; nothing for an empty list.
void lf_pickNonSpecialLivery(AcProfile& ac, const std::vector<std::string_view>& candidates);
// table 0 passenger, 1 cargo. Each answers whether the livery is set afterwards.
bool lf_matchAirlineType(AcProfile& ac, const AirlineTypeKey& key, int table);
// Cargo first for a cargo aircraft, then passenger.
bool lf_matchOwnAirlineType(AcProfile& ac, const AirlineTypeKey& key);
bool lf_matchModel(AcProfile& ac, const std::string& type);
bool lf_matchSpecial(AcProfile& ac);
bool lf_matchSimilarTypes(AcProfile& ac, AirlineTypeKey key);
// The generic and category steps; sets step to 4, 5 or 6 with a livery.
void lf_matchGeneric(AcProfile& ac, std::int64_t& step);
// Refuses a livery the simulator could not create (clearing it); else counts, logs and marks it.
bool lf_acceptMatch(AcProfile& ac, std::size_t step);

} // namespace zeph
