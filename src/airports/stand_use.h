#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "core/half_hours.h"
#include "model/park_pos.h"

// What the program learns of a stand from live traffic: which aircraft stood there, on which weekday, in
// which half hours. Traffic thread only; no lock.

namespace zeph {

struct AcProfile;

// Adds a real use of the stand by the aircraft at now; its id, or none for an empty registration or a use
// that is there already. Throws std::out_of_range for a slot past 47.
std::optional<std::uint32_t> gf_addStandUse(ParkPos& stand, const AcProfile& aircraft, WeekSlot now,
                                            const std::string& callsign, const std::string& registration,
                                            bool coupled);

// Numbers the uses 1, 2, ... in list order, as every renewal of the static parking does. The number 0 that a
// static calculation gives a use it has used up lasts only until this numbering.
void gf_numberStandUses(std::vector<StandUse>& uses);

// Records a callsign in the use with id: an empty callsign takes it, else a new one replaces callsign2.
void gf_setStandUseName(ParkPos& stand, std::uint32_t id, const std::string& callsign);

// Sets the slots of the list (taken from its back, so the list ends empty) in the use with id. False when
// there is no such use, or at a slot past 47 (logged; the slots before it stay set).
bool updateOptions(ParkPos& stand, std::vector<std::uint32_t>& slots, std::uint32_t id);

// The same for a list from lf_walkBackSlots that runs over midnight: the old day's slots (up to 47) go to
// idBefore, the rest but the newest to idAfter, which has that one already.
bool updateOptionsWrapped(ParkPos& stand, std::vector<std::uint32_t>& slots, std::uint32_t idBefore,
                          std::uint32_t idAfter);

// The count slots that end with now, newest first.
std::vector<std::uint32_t> gf_slotsBefore(WeekSlot now, int count);
// Appends count slots to out, from start one half hour back each (slot 0 steps to 47 of the day before).
void lf_walkBackSlots(std::vector<std::uint32_t>& out, std::int64_t count, WeekSlot start);

// Whether a real use is one of this aircraft: by callsign, else by airline and type.
bool gf_standUseMatches(const std::string& callsign, const AcProfile& aircraft, const StandUse& use);

} // namespace zeph
