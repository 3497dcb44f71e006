#include <initializer_list>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "core/half_hours.h"
#include "support/log_fixture.h"

namespace zeph {
namespace {

HalfHourSet slotsOf(std::initializer_list<int> slots) {
    HalfHourSet set;
    for (int slot : slots) {
        set.set(static_cast<std::size_t>(slot));
    }
    return set;
}

HalfHourSet runOf(int first, int last) {
    HalfHourSet set;
    for (int slot = first; slot <= last; ++slot) {
        set.set(static_cast<std::size_t>(slot));
    }
    return set;
}

bool hasGap(const HalfHourSet& set) {
    const std::string bits = set.to_string();
    const auto high = bits.find('1');
    const auto low = bits.rfind('1');
    return high != std::string::npos && set.count() != low - high + 1;
}

std::string repeated(const std::string& piece, int times) {
    std::string text;
    for (int i = 0; i < times; ++i) {
        text += piece;
    }
    return text;
}

class HalfHours : public test::LogFixture {};

TEST_F(HalfHours, ReadsSlotTextsAndLogsEveryProblem) {
    const struct {
        std::string text;
        HalfHourSet expected;
        std::vector<std::string> lines;
    } cases[] = {
        {"5", slotsOf({5}), {}},
        {"3:6", runOf(3, 6), {}},
        {" 3 :\t6 ", runOf(3, 6), {}},
        {"\v\f3:6\r\n", runOf(3, 6), {}},
        {"6:6", slotsOf({6}), {}},
        {"0:47", runOf(0, 47), {}},
        {"6:3", {}, {"==> gf_hours2bitset descending range not allowed (6:3 in 6:3)"}},
        {"1:2:3", {}, {"==> gf_hours2bitset more than one colon char in: 1:2:3"}},
        {"5:", {}, {"==> operator () invalid hour '' in 5:"}},
        {":5", {}, {"==> operator () invalid hour '' in :5"}},
        {"1:x:3", {}, {"==> operator () invalid hour 'x' in 1:x:3"}},
        {"48", {}, {"==> operator () invalid hour '48' in 48"}},
        {"-1", {}, {"==> operator () invalid hour '-1' in -1"}},
        {"+5", {}, {"==> operator () invalid hour '+5' in +5"}},
        {"-0", slotsOf({0}), {}},
        {"4294967301", {}, {"==> operator () invalid hour '4294967301' in 4294967301"}},
        {"1,3,47", slotsOf({1, 3, 47}), {}},
        {" 1 , 3 ,47 ", slotsOf({1, 3, 47}), {}},
        {"1,x,3", slotsOf({1, 3}), {"==> operator () invalid hour 'x' in 1,x,3"}},
        {"1,,3", slotsOf({1, 3}), {"==> operator () invalid hour '' in 1,,3"}},
        {"12abc", slotsOf({12}), {}},
        {"0:5,10", runOf(0, 5), {}},
        {"", {}, {}},
        {"  ", {}, {"==> operator () invalid hour '' in   "}},
    };
    std::size_t seen = 0;
    for (const auto& c : cases) {
        EXPECT_EQ(gf_hours2bitset(c.text), c.expected) << "text '" << c.text << "'";
        const auto lines = readLog();
        const std::vector<std::string> added(lines.begin() + static_cast<std::ptrdiff_t>(seen), lines.end());
        EXPECT_EQ(added, c.lines) << "text '" << c.text << "'";
        seen = lines.size();
    }
}

TEST_F(HalfHours, WritesSlotTexts) {
    const struct {
        HalfHourSet slots;
        std::optional<std::string> expected;
    } cases[] = {
        {slotsOf({5}), "5"},
        {slotsOf({0}), "0"},
        {slotsOf({47}), "47"},
        {runOf(3, 6), "3:6"},
        {runOf(0, 47), "0:47"},
        {slotsOf({3, 5}), "3,5"},
        {slotsOf({1, 3, 47}), "1,3,47"},
        {slotsOf({0, 1, 2, 47}), "0,1,2,47"},
        {HalfHourSet{}, std::nullopt},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(gf_bitset2hours(c.slots), c.expected) << "set " << c.slots;
    }
}

TEST_F(HalfHours, EveryRunReadsBackAsItself) {
    int runs = 0;
    for (int first = 0; first < 48; ++first) {
        for (int last = first; last < 48; ++last) {
            const HalfHourSet run = runOf(first, last);
            const auto text = gf_bitset2hours(run);
            ASSERT_TRUE(text.has_value()) << first << ":" << last;
            EXPECT_EQ(gf_hours2bitset(*text), run) << first << ":" << last << " as '" << *text << "'";
            ++runs;
        }
    }
    EXPECT_EQ(runs, 1176);
    EXPECT_TRUE(readLog().empty());
}

TEST_F(HalfHours, SetsWithGapsReadBackAsThemselves) {
    std::mt19937_64 random(20261206);
    int checked = 0;
    while (checked < 1000) {
        const HalfHourSet set(random() & ((1ULL << 48) - 1));
        if (!hasGap(set)) {
            continue;
        }
        const auto text = gf_bitset2hours(set);
        ASSERT_TRUE(text.has_value()) << "set " << set;
        EXPECT_EQ(gf_hours2bitset(*text), set) << "set " << set << " as '" << *text << "'";
        ++checked;
    }
    EXPECT_TRUE(readLog().empty());
}

TEST_F(HalfHours, LongDamagedTextsAreReadInOnePassWithFewLogLines) {
    const struct {
        const char* name;
        std::string text;
        HalfHourSet expected;
        std::size_t lines;
        std::string lastLine;
    } cases[] = {
        {"a million commas", std::string(1000000, ','), HalfHourSet{}, 11,
         "==> gf_hours2bitset 999991 more invalid hours not logged"},
        {"a million colons", std::string(1000000, ':'), HalfHourSet{}, 11,
         "==> gf_hours2bitset 999991 more invalid hours not logged"},
        {"good slots among bad entries", "7" + repeated(",x", 30) + ",9", slotsOf({7, 9}), 11,
         "==> gf_hours2bitset 20 more invalid hours not logged"},
        {"a million digits", std::string(1000000, '1'), {}, 1, {}},
    };
    std::size_t seen = 0;
    for (const auto& c : cases) {
        EXPECT_EQ(gf_hours2bitset(c.text), c.expected) << c.name;
        const auto lines = readLog();
        EXPECT_EQ(lines.size() - seen, c.lines) << c.name;
        if (!c.lastLine.empty() && !lines.empty()) {
            EXPECT_EQ(lines.back(), c.lastLine) << c.name;
        }
        seen = lines.size();
    }
}

TEST(WeekSlots, HalfHoursBetweenWrapsOverTheEndOfTheWeek) {
    struct Case {
        WeekSlot from, to;
        std::int32_t halfHours;
    };
    const Case cases[] = {
        {{7, 47}, {1, 0}, 1},   {{1, 0}, {7, 47}, 335}, {{3, 10}, {3, 10}, 0},
        {{3, 10}, {3, 9}, 335}, {{2, 40}, {3, 2}, 10},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(gf_halfHoursBetween(c.from, c.to), c.halfHours)
            << c.from.day << "," << c.from.slot << " -> " << c.to.day << "," << c.to.slot;
    }
}

} // namespace
} // namespace zeph
