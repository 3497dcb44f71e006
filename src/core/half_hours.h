#pragma once
#include <bitset>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

namespace zeph {

// Bit n is the n-th half hour of a UTC day.
using HalfHourSet = std::bitset<48>;

// Reads "n", "a:b" or a comma list "n,m,...". Every problem is logged (the first ten bad hours of a text
// line by line, the rest as one count); a bad range gives the empty set, a bad list entry is skipped.
HalfHourSet gf_hours2bitset(std::string_view text);

// "n" or "a:b" for a run of slots, the comma list of its slots for a set with gaps, no value when empty.
std::optional<std::string> gf_bitset2hours(const HalfHourSet& slots);

// Weekday (1..7, Monday 1) in the high 32 bits, half-hour slot (0..47) in the low ones; -1 stays -1.
std::uint64_t packWeekSlot(std::pair<int, int> dayAndHalfHour);
std::pair<int, int> unpackWeekSlot(std::uint64_t slot);

// The last half-hour slot of a day.
inline constexpr std::uint32_t kLastSlotOfDay = 47;

// One of the 336 half-hour slots of the week: weekday 1..7 (Monday 1) and slot 0..47.
struct WeekSlot {
    std::uint32_t day = 0;
    std::uint32_t slot = 0;

    std::uint64_t packed() const { return packWeekSlot({static_cast<int>(day), static_cast<int>(slot)}); }
    static WeekSlot fromPacked(std::uint64_t word) {
        const auto [day, slot] = unpackWeekSlot(word);
        return WeekSlot{static_cast<std::uint32_t>(day), static_cast<std::uint32_t>(slot)};
    }
    friend bool operator==(const WeekSlot&, const WeekSlot&) = default;
};

// Half hours forward from one week slot to another, 0..335: the week wraps, so Sunday 23:30 is one half
// hour before Monday 00:00.
std::int32_t gf_halfHoursBetween(WeekSlot from, WeekSlot to);

// The slot n half hours before now (n up to 47): past midnight it is the previous weekday's, and Monday's
// previous day is Sunday.
WeekSlot slotBefore(WeekSlot now, std::uint32_t n);

} // namespace zeph
