#pragma once
#include <atomic>
#include <cstdint>

namespace zeph {

inline constexpr std::uint32_t metersPerNm = 1852;
// Half the earth's circumference: no traffic lies farther away than this.
inline constexpr std::int32_t maxLateralRangeNm = 10800;

// The lateral range that the traffic intake uses, in nautical miles and in metres. Both start from RANGE's
// default (40 nm, 74080 m); afterwards only gf_setRange changes them.
extern std::atomic<double> lateralRangeNm;
extern std::atomic<std::uint32_t> lateralRangeMeters;

// The user's own range: the one a call of gf_setRange remembered last (40 nm at the start). Unticking
// AUTO_RANGE returns to it, so the ranges the auto range chooses never replace the user's choice.
extern std::atomic<std::int32_t> rememberedRange;

// RANGE becomes nm clamped to its choices' bounds (not saved) and its combo selects that entry. The range
// copies take nm as given, so an airport file may ask for more than the combo offers, but bounded to
// RANGE's minimum .. maxLateralRangeNm so that the metres cannot wrap. With remember, nm also becomes
// rememberedRange; the auto range passes false. Returns the metres.
std::uint32_t gf_setRange(std::int32_t nm, bool remember = true);

// RANGE as the user or an airport's file set it: its value, or while AUTO_RANGE chooses the range, the range
// that unticking AUTO_RANGE returns to (within RANGE's bounds). What the auto range chose is no setting.
std::int32_t chosenRangeNm();

} // namespace zeph
