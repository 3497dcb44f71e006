#include <cstdint>
#include <limits>
#include <vector>

#include <gtest/gtest.h>

#include "traffic/max_fit.h"

namespace zeph {
namespace {

TEST(MaxFitHours, LevelsToHours) {
    struct Case {
        std::int32_t level;
        float hours;
    };
    const std::vector<Case> cases{
        {std::numeric_limits<std::int32_t>::min(), 0.5F},
        {-1, 0.5F}, {0, 0.5F}, {1, 1.0F}, {2, 1.5F}, {5, 3.0F}, {8, 4.5F}, {9, 5.0F},
        {10, 6.0F}, {11, 6.0F}, {12, 7.0F}, {13, 7.0F}, {14, 8.0F}, {15, 8.0F}, {16, 9.0F}, {17, 9.0F},
        {18, 10.0F}, {19, 10.0F}, {20, 11.0F}, {21, 11.0F}, {22, 12.0F}, {25, 12.0F}, {26, 15.0F},
        {31, 15.0F}, {32, 18.0F}, {37, 18.0F}, {38, 21.0F}, {43, 21.0F}, {44, 24.0F}, {47, 24.0F},
        {48, 24.0F}, {std::numeric_limits<std::int32_t>::max(), 24.0F},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(lf_maxFitHours(c.level), c.hours) << "level " << c.level;
    }
}

} // namespace
} // namespace zeph
