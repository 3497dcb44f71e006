#include "airports/stand_use.h"

#include <algorithm>
#include <exception>
#include <stdexcept>

#include <fmt/format.h>

#include "aircraft/regcodes.h"
#include "airports/stands.h"
#include "core/log.h"
#include "model/records.h"

namespace zeph {

namespace {

constexpr std::uint32_t kSlotsPerDay = 48;
constexpr std::uint32_t kLastSlot = kSlotsPerDay - 1;
constexpr std::uint32_t kDaysPerWeek = 7;

// Checked before std::bitset::set so that the text is ours on every standard library.
void setSlot(HalfHourSet& slots, std::uint32_t slot) {
    if (slot >= kSlotsPerDay) {
        throw std::out_of_range("invalid bitset position");
    }
    slots.set(slot);
}

std::string withoutTrailingUnderscore(const std::string& callsign) {
    return callsign.ends_with('_') ? callsign.substr(0, callsign.size() - 1) : callsign;
}

StandUse* findUse(ParkPos& stand, std::uint32_t id) {
    const auto found = std::find_if(stand.uses.begin(), stand.uses.end(),
                                    [id](const StandUse& use) { return use.id == id; });
    return found != stand.uses.end() ? &*found : nullptr;
}

// Moves slots from the back of the list into use until stop says so or only keep entries are left.
template <typename Stop>
void takeSlots(StandUse& use, std::vector<std::uint32_t>& slots, std::size_t keep, Stop stop) {
    while (slots.size() > keep) {
        const std::uint32_t slot = slots.back();
        setSlot(use.slots, slot);
        slots.pop_back();
        if (stop(slot)) {
            return;
        }
    }
}

} // namespace

std::optional<std::uint32_t> gf_addStandUse(ParkPos& stand, const AcProfile& aircraft, WeekSlot now,
                                            const std::string& callsign, const std::string& registration,
                                            bool coupled) {
    if (registration.empty()) {
        return std::nullopt;
    }
    HalfHourSet slots;
    setSlot(slots, now.slot);
    std::string airline = aircraft.airline;
    std::string type = aircraft.type;
    if (const auto known = gf_lookupRegcode(registration)) {
        airline = known->opr.empty() ? known->airl : known->opr;
        type = known->type;
    }
    const bool present = std::any_of(stand.uses.begin(), stand.uses.end(), [&](const StandUse& use) {
        return use.reg == registration && use.day == now.day && use.slots == slots;
    });
    if (present) {
        return std::nullopt;
    }
    const auto id = static_cast<std::uint32_t>(stand.uses.size() + 1);
    stand.uses.push_back(StandUse{std::move(airline), std::move(type), registration,
                                  withoutTrailingUnderscore(callsign), std::string(), slots, id, now.day, 0,
                                  1, static_cast<std::uint8_t>(coupled ? 1 : 0)});
    gf_noteLearnedUpdate();
    return id;
}

void gf_numberStandUses(std::vector<StandUse>& uses) {
    std::uint32_t id = 0;
    for (StandUse& use : uses) {
        use.id = ++id;
    }
}

void gf_setStandUseName(ParkPos& stand, std::uint32_t id, const std::string& callsign) {
    const std::string name = withoutTrailingUnderscore(callsign);
    StandUse* use = id != 0 ? findUse(stand, id) : nullptr;
    if (name.empty() || use == nullptr) {
        return;
    }
    if (use->callsign.empty()) {
        use->callsign = name;
    } else if (name != use->callsign && name != use->callsign2) {
        use->callsign2 = name;
    }
}

bool updateOptions(ParkPos& stand, std::vector<std::uint32_t>& slots, std::uint32_t id) {
    StandUse* use = findUse(stand, id);
    if (use == nullptr) {
        return false;
    }
    try {
        takeSlots(*use, slots, 0, [](std::uint32_t) { return false; });
        return true;
    } catch (const std::exception& e) {
        gf_logLine(fmt::format("{} exception:{}", "updateOptions", e.what()));
        return false;
    }
}

bool updateOptionsWrapped(ParkPos& stand, std::vector<std::uint32_t>& slots, std::uint32_t idBefore,
                          std::uint32_t idAfter) {
    try {
        StandUse* before = findUse(stand, idBefore);
        if (before == nullptr) {
            return false;
        }
        // A last entry 0 means the day before has nothing to add.
        if (!slots.empty() && slots.back() != 0) {
            takeSlots(*before, slots, 0, [](std::uint32_t slot) { return slot == kLastSlot; });
        }
        StandUse* after = findUse(stand, idAfter);
        if (after == nullptr) {
            return false;
        }
        // The newest slot is the new use's own already.
        takeSlots(*after, slots, 1, [](std::uint32_t) { return false; });
        return true;
    } catch (const std::exception& e) {
        gf_logLine(fmt::format("{} exception:{}", "updateOptionsWrapped", e.what()));
        return false;
    }
}

std::vector<std::uint32_t> gf_slotsBefore(WeekSlot now, int count) {
    std::vector<std::uint32_t> slots;
    slots.reserve(kSlotsPerDay);
    lf_walkBackSlots(slots, count, now);
    return slots;
}

void lf_walkBackSlots(std::vector<std::uint32_t>& out, std::int64_t count, WeekSlot start) {
    WeekSlot current = start;
    for (std::int64_t k = 0; k < count; ++k) {
        out.push_back(current.slot);
        if (current.slot > 0) {
            --current.slot;
        } else {
            current.slot = kLastSlot;
            current.day = current.day <= 1 ? kDaysPerWeek : current.day - 1;
        }
    }
}

bool gf_standUseMatches(const std::string& callsign, const AcProfile& aircraft, const StandUse& use) {
    if (use.id == 0 || use.real != 1) {
        return false;
    }
    if (use.callsign == callsign || use.callsign2 == callsign) {
        return true;
    }
    return use.airline == aircraft.airline && use.type == aircraft.type;
}

} // namespace zeph
