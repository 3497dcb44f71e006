#pragma once
#include <cstdint>
#include <string>

#include "airports/stands.h"
#include "core/half_hours.h"
#include "model/records.h"

// The learned use of the park airport's stands: which registration stood on which stand, on which weekday,
// in which half hours, and under which callsigns it came and went. Traffic thread only; the stand list and
// its uses are the traffic thread's.

namespace zeph {

// Why lf_addRealStandOption is called: 0 arrived at or put on the stand, 1 spawned parked, 2 starts to
// leave, 3 reported far from the stand (left unseen). Leaving marks the use coupled.
inline constexpr std::uint32_t kStandArrivedMode = 0;
inline constexpr std::uint32_t kStandSpawnedMode = 1;
inline constexpr std::uint32_t kStandLeftMode = 2;
inline constexpr std::uint32_t kStandAbandonedMode = 3;

// Records that a live aircraft uses the stand with this number at the current week slot: extends today's
// open use of its registration or adds a new one. Nothing is learned without a registration, or when the
// park airport's own file says the registration stands there today at other times. Every failure is caught
// and logged; the aircraft and the stand list stay as they were.
void lf_addRealStandOption(std::uint32_t standNumber, LiveAc& aircraft, std::uint32_t mode);

// Extends the use useId of the stand from last to now when fewer half hours than the aircraft's occupation
// span lie between them, and gives the use the aircraft's callsign; last becomes now. True also for use
// id 0 or last == now (nothing to do); false when the caller is to start a new use. A stay is never
// extended across midnight: a last slot of another weekday gives false, and registration and coupled,
// which a new day's use would need, go unused.
bool lf_weekSlotSpan(WeekSlot now, ParkPos& stand, std::uint32_t useId, WeekSlot& last, LiveAc& aircraft,
                     const std::string& registration, bool coupled);

// Gives the aircraft the first and coupled callsign of the first learned use of today around the week slot
// (packed as currentWeekSlot): same airline, a coupled callsign, and either callsign the aircraft's. The
// window is 14 half hours each way for a Heavy aircraft, 10 for any other.
void lf_searchForCoupledCsAroundThisTime(std::uint64_t weekSlot, LiveAc& aircraft);

// Half hours over which one use may be extended: 12 for cargo, 8 for Heavy, else 6.
std::int32_t lf_occupationSpan(const LiveAc& aircraft);

} // namespace zeph
