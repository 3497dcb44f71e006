#include "core/random.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "settings/parameter_table.h"
#include "settings/random_choice.h"

namespace zeph {
namespace {

// Sets RANDOM for one test and puts it back on (its default) afterwards.
class RandomSetting {
public:
    explicit RandomSetting(bool on) { RANDOM.setValue(on); }
    ~RandomSetting() { RANDOM.setValue(true); }
    RandomSetting(const RandomSetting&) = delete;
    RandomSetting& operator=(const RandomSetting&) = delete;
};

constexpr std::uint32_t kSeed = 20240601;

// True when this thread's engine has drawn exactly as often as the twin: the next draws agree.
bool inStepWith(std::mt19937& twin) { return randomEngine()() == twin(); }

TEST(RandomIndex, ReturnsZeroWithoutDrawing) {
    struct Case {
        const char* name;
        bool randomOn;
        std::int64_t n;
    };
    const std::vector<Case> cases = {
        {"RANDOM off, n 10", false, 10}, {"RANDOM off, n 2", false, 2}, {"RANDOM off, n 1", false, 1},
        {"RANDOM on, n 0", true, 0},     {"RANDOM on, n 1", true, 1},   {"RANDOM on, n negative", true, -5},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        RandomSetting setting(c.randomOn);
        seedThisThreadForTests(kSeed);
        std::mt19937 twin(kSeed);
        EXPECT_EQ(gf_randomIndex(c.n), 0U);
        EXPECT_TRUE(inStepWith(twin)) << "the engine advanced";
    }
}

TEST(RandomIndex, DrawsOnceAndStaysInRange) {
    RandomSetting setting(true);
    for (const std::int64_t n : {2, 10, 37}) {
        SCOPED_TRACE("n " + std::to_string(n));
        seedThisThreadForTests(kSeed);
        std::mt19937 twin(kSeed);
        std::set<std::uint64_t> seen;
        for (int i = 0; i < 2000; ++i) {
            const std::uint64_t index = gf_randomIndex(n);
            ASSERT_LT(index, static_cast<std::uint64_t>(n));
            ASSERT_EQ(index, twin() % static_cast<std::uint64_t>(n)) << "draw " << i;
            seen.insert(index);
        }
        EXPECT_EQ(seen.size(), static_cast<std::size_t>(n)) << "every index should turn up";
        EXPECT_TRUE(inStepWith(twin));
    }
}

TEST(RandomVariation, OneOfTwoValuesAndAlwaysOneDraw) {
    struct Case {
        const char* name;
        bool randomOn;
        double value;
        double percent;
        double whenEven;
        double whenOdd;
    };
    const std::vector<Case> cases = {
        {"ten percent", true, 100, 10, 110, 90},        {"ten percent, RANDOM off", false, 100, 10, 110, 90},
        {"percent 0", true, 100, 0, 100, 100},          {"negative percent", true, 100, -5, 100, 100},
        {"negative value", true, -200, 50, -300, -100},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        RandomSetting setting(c.randomOn);
        seedThisThreadForTests(kSeed);
        std::mt19937 twin(kSeed);
        std::set<double> seen;
        for (int i = 0; i < 64; ++i) {
            const double expected = (twin() & 1U) == 0 ? c.whenEven : c.whenOdd;
            const double varied = gf_randomVariation(c.value, c.percent);
            ASSERT_EQ(varied, expected) << "draw " << i;
            seen.insert(varied);
        }
        EXPECT_EQ(seen.size(), c.whenEven == c.whenOdd ? 1U : 2U) << "both signs should turn up";
        EXPECT_TRUE(inStepWith(twin));
    }
}

TEST(RandomShuffle, LeavesListUntouchedWithoutDrawing) {
    struct Case {
        const char* name;
        bool randomOn;
        std::vector<std::string> list;
    };
    const std::vector<Case> cases = {
        {"empty list", true, {}},
        {"one entry", true, {"only"}},
        {"RANDOM off", false, {"a", "b", "c", "d", "e", "f", "g", "h"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        RandomSetting setting(c.randomOn);
        seedThisThreadForTests(kSeed);
        std::mt19937 twin(kSeed);
        std::vector<std::string> list = c.list;
        gf_shuffleList(list);
        EXPECT_EQ(list, c.list);
        EXPECT_TRUE(inStepWith(twin)) << "the engine advanced";
    }
}

TEST(RandomShuffle, PermutesWhenOn) {
    RandomSetting setting(true);
    const std::vector<std::string> original = {"a", "b", "c", "d", "e", "f", "g", "h", "i", "j"};
    int reordered = 0;
    for (std::uint32_t seed = 1; seed <= 20; ++seed) {
        SCOPED_TRACE("seed " + std::to_string(seed));
        seedThisThreadForTests(seed);
        std::vector<std::string> list = original;
        gf_shuffleList(list);
        EXPECT_TRUE(std::is_permutation(list.begin(), list.end(), original.begin(), original.end()));
        reordered += list != original ? 1 : 0;
    }
    EXPECT_GT(reordered, 15) << "ten entries should almost never keep their order";
}

TEST(RandomEngineThreads, DrawsOnAnotherThreadLeaveThisThreadsSequence) {
    seedThisThreadForTests(kSeed);
    std::mt19937 twin(kSeed);
    const std::mt19937* mine = &randomEngine();
    const std::mt19937* theirs = nullptr;
    std::thread other([&theirs] {
        theirs = &randomEngine();
        for (int i = 0; i < 1000; ++i) {
            static_cast<void>(randomEngine()());
        }
    });
    other.join();
    EXPECT_NE(mine, theirs);
    EXPECT_TRUE(inStepWith(twin));
}

} // namespace
} // namespace zeph
