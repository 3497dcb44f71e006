#include "settings/max_fit_hours.h"

#include <array>

namespace zeph {

namespace {

// From level 10 on, each row holds the hours of the levels from its first level up to the next row's.
struct MaxFitStep {
    std::int32_t firstLevel;
    float hours;
};

constexpr std::array<MaxFitStep, 11> longStays{{
    {10, 6.0F},
    {12, 7.0F},
    {14, 8.0F},
    {16, 9.0F},
    {18, 10.0F},
    {20, 11.0F},
    {22, 12.0F},
    {26, 15.0F},
    {32, 18.0F},
    {38, 21.0F},
    {44, 24.0F},
}};

} // namespace

float lf_maxFitHours(std::int32_t level) {
    if (level <= 0) {
        return 0.5F;
    }
    if (level < longStays.front().firstLevel) {
        // Up to 9 half hours the level counts exactly: one half hour more per level.
        return 0.5F * static_cast<float>(level + 1);
    }
    float hours = longStays.front().hours;
    for (const MaxFitStep& step : longStays) {
        if (level >= step.firstLevel) {
            hours = step.hours;
        }
    }
    return hours;
}

} // namespace zeph
