#include "core/half_hours.h"

#include <charconv>
#include <cstdint>
#include <vector>

#include <fmt/format.h>

#include "core/log.h"

namespace zeph {

namespace {

constexpr int slotCount = 48;

// Lines about bad hours are capped per text: each names the whole text, so a damaged text of a million
// empty entries must not write a million copies of itself into the log.
constexpr int maxInvalidHourLines = 10;

// The C locale's white space.
constexpr std::string_view blanks = " \t\n\r\v\f";

std::string_view strip(std::string_view entry) {
    const auto first = entry.find_first_not_of(blanks);
    if (first == std::string_view::npos) {
        return {};
    }
    const auto last = entry.find_last_not_of(blanks);
    return entry.substr(first, last - first + 1);
}

// Reads one slot number per call and logs every bad one while the cap allows.
class SlotReader {
public:
    explicit SlotReader(std::string_view text) : text_(text) {}

    // One closing line counts the bad hours that the cap kept out of the log.
    void reportUnlogged() const {
        if (unlogged_ > 0) {
            gf_logLine(fmt::format("gf_hours2bitset {} more invalid hours not logged", unlogged_));
        }
    }

    // An optional '-', then digits; whatever follows the digits is ignored.
    std::optional<int> read(std::string_view entry) {
        const std::string_view stripped = strip(entry);
        std::int32_t value = 0;
        const auto [end, error] = std::from_chars(stripped.data(), stripped.data() + stripped.size(), value);
        if (error == std::errc{} && value >= 0 && value < slotCount) {
            return value;
        }
        reportInvalid(stripped);
        return std::nullopt;
    }

private:
    void reportInvalid(std::string_view stripped) {
        if (logged_ < maxInvalidHourLines) {
            ++logged_;
            gf_logLine(fmt::format("{} invalid hour '{}' in {}", "operator ()", stripped, text_));
        } else {
            ++unlogged_;
        }
    }

    std::string_view text_;
    int logged_ = 0;
    long long unlogged_ = 0;
};

// Calls visit(part) for each piece of text between separators, in order, until visit returns false.
template <typename Visit> void forEachPart(std::string_view text, char separator, Visit visit) {
    std::size_t start = 0;
    while (true) {
        const auto end = text.find(separator, start);
        const auto part =
            text.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start);
        if (!visit(part) || end == std::string_view::npos) {
            return;
        }
        start = end + 1;
    }
}

HalfHourSet readRange(std::string_view text, SlotReader& reader) {
    std::vector<int> ends;
    bool allValid = true;
    bool tooManyColons = false;
    forEachPart(text, ':', [&](std::string_view part) {
        if (ends.size() == 2) {
            tooManyColons = true;
            return false;
        }
        if (const auto slot = reader.read(part)) {
            ends.push_back(*slot);
        } else {
            allValid = false;
        }
        return true;
    });
    if (tooManyColons) {
        gf_logLine(fmt::format("{} more than one colon char in: {}", "gf_hours2bitset", text));
        return {};
    }
    if (!allValid || ends.size() != 2) {
        return {};
    }
    const int first = ends[0];
    const int last = ends[1];
    if (last < first) {
        gf_logLine(fmt::format("{} descending range not allowed ({}:{} in {})", "gf_hours2bitset", first,
                               last, text));
        return {};
    }
    HalfHourSet slots;
    for (int slot = first; slot <= last; ++slot) {
        slots.set(static_cast<std::size_t>(slot));
    }
    return slots;
}

HalfHourSet readList(std::string_view text, SlotReader& reader) {
    HalfHourSet slots;
    forEachPart(text, ',', [&](std::string_view entry) {
        if (const auto slot = reader.read(entry)) {
            slots.set(static_cast<std::size_t>(*slot));
        }
        return true;
    });
    return slots;
}

} // namespace

HalfHourSet gf_hours2bitset(std::string_view text) {
    if (text.empty()) {
        return {};
    }
    SlotReader reader(text);
    const HalfHourSet slots =
        text.find(':') != std::string_view::npos ? readRange(text, reader) : readList(text, reader);
    reader.reportUnlogged();
    return slots;
}

std::optional<std::string> gf_bitset2hours(const HalfHourSet& slots) {
    if (slots.none()) {
        return std::nullopt;
    }
    int first = 0;
    while (!slots.test(static_cast<std::size_t>(first))) {
        ++first;
    }
    int last = slotCount - 1;
    while (!slots.test(static_cast<std::size_t>(last))) {
        --last;
    }
    if (first == last) {
        return fmt::format("{}", first);
    }
    if (static_cast<int>(slots.count()) == last - first + 1) {
        return fmt::format("{}:{}", first, last);
    }
    // A set with gaps is written as its list of slots, which reads back as the same set.
    std::string list;
    for (int slot = first; slot <= last; ++slot) {
        if (slots.test(static_cast<std::size_t>(slot))) {
            list += list.empty() ? fmt::format("{}", slot) : fmt::format(",{}", slot);
        }
    }
    return list;
}

std::uint64_t packWeekSlot(std::pair<int, int> dayAndHalfHour) {
    return (static_cast<std::uint64_t>(static_cast<std::uint32_t>(dayAndHalfHour.first)) << 32U) |
           static_cast<std::uint32_t>(dayAndHalfHour.second);
}

std::pair<int, int> unpackWeekSlot(std::uint64_t slot) {
    return {static_cast<int>(static_cast<std::uint32_t>(slot >> 32U)),
            static_cast<int>(static_cast<std::uint32_t>(slot & 0xFFFFFFFFU))};
}

std::int32_t gf_halfHoursBetween(WeekSlot from, WeekSlot to) {
    constexpr std::int32_t perDay = slotCount;
    std::int32_t halfHours =
        (static_cast<std::int32_t>(to.day) - static_cast<std::int32_t>(from.day)) * perDay -
        static_cast<std::int32_t>(from.slot) + static_cast<std::int32_t>(to.slot);
    if (halfHours < 0) {
        halfHours += 7 * perDay;
    }
    return halfHours;
}

WeekSlot slotBefore(WeekSlot now, std::uint32_t n) {
    const std::int64_t slot = static_cast<std::int64_t>(now.slot) - static_cast<std::int64_t>(n);
    if (slot >= 0) {
        return WeekSlot{now.day, static_cast<std::uint32_t>(slot)};
    }
    const std::uint32_t day = now.day <= 1 ? 7U : now.day - 1;
    return WeekSlot{day, static_cast<std::uint32_t>(slot + slotCount)};
}

} // namespace zeph
