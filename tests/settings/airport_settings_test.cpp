#include "settings/airport_settings.h"

#include <climits>
#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "settings/parameter_table.h"
#include "settings/parameters_file.h"
#include "settings/parameters_fixture.h"
#include "settings/range.h"

namespace zeph {
namespace {

using test::ElementList;
using test::fileElements;
using test::ParametersTest;
using test::valuesOf;

TEST_F(ParametersTest, ApplyingTheParkAirportSettings) {
    gf_saveParameters(false);
    sink().clear();
    userSettingsSnapshot = {100, 60, 150, 130, true, true, false, true};
    gf_applySettingsToParameters();

    EXPECT_EQ(sink().calls(), (std::vector<std::string>{
                                  "showComboValue MAX_LIVE_SEL 100",
                                  "selectMaxFitCombo",
                                  "selectComboEntry RANGE 100",
                                  "selectComboEntry parking_percentage 100",
                                  "setCheck AUTO_RANGE true",
                                  "enable RANGE false",
                                  "enable AR_ABOVE_HEIGHT true",
                                  "setCheck INITIAL_LOAD_ONLY true",
                                  "setCheck PARK_SOFT false",
                                  "setCheck WEEK true",
                              }));
    EXPECT_EQ(MAX_LIVE_SEL.get(), 100);
    EXPECT_EQ(MAX_FIT.get(), 47);
    EXPECT_EQ(RANGE.get(), 100);
    EXPECT_EQ(parking_percentage.get(), 100);
    EXPECT_EQ(lateralRangeNm.load(), 150.0);
    EXPECT_EQ(lateralRangeMeters.load(), 277800U);

    const ElementList elements = fileElements(file());
    struct Stored {
        std::string key;
        std::string value;
    };
    const std::vector<Stored> stored = {
        {"MAX_LIVE_SEL", "100"},       {"MAX_FIT", "47"},      {"RANGE", "100"},
        {"parking_percentage", "100"}, {"AUTO_RANGE", "true"}, {"INITIAL_LOAD_ONLY", "true"},
        {"PARK_SOFT", "false"},        {"WEEK", "true"},
    };
    for (const auto& item : stored) {
        EXPECT_EQ(valuesOf(elements, item.key), std::vector<std::string>{item.value}) << item.key;
    }
    EXPECT_EQ(elements.size(), 66U);
}

// A key save that finds parameters.xml missing writes the whole file: the eight an airport may change take
// the user's values, and RANGE the chosen range, not the automatic range's pick.
TEST_F(ParametersTest, AWholeWriteKeepsTheUsersOwnSettings) {
    const std::vector<std::string> keys = {"MAX_LIVE_SEL",       "MAX_FIT",    "RANGE",
                                           "parking_percentage", "AUTO_RANGE", "INITIAL_LOAD_ONLY",
                                           "PARK_SOFT",          "WEEK"};
    for (const bool atAirport : {true, false}) {
        SCOPED_TRACE(atAirport ? "at an airport" : "no airport, auto range on");
        if (atAirport) {
            keepUserSettings({100, 20, 40, 30, true, false, false, false});
        }
        for (CheckBoxParameter* box : {&AUTO_RANGE, &INITIAL_LOAD_ONLY, &PARK_SOFT, &WEEK})
            box->setValue(true);
        MAX_LIVE_SEL.setValue(200), MAX_FIT.setValue(47);
        gf_setRange(65), gf_setRange(10, false); // chosen, then the automatic range's pick
        std::filesystem::remove(file());
        parking_percentage.set(70);
        std::string stored;
        for (const std::string& key : keys)
            stored += valuesOf(fileElements(file()), key).at(0) + " ";
        EXPECT_EQ(stored,
                  atAirport ? "100 20 40 30 true false false false " : "200 47 65 70 true true true true ");
        releaseUserSettings();
    }
}

TEST_F(ParametersTest, ApplyingSettingsClampsEveryValue) {
    struct Case {
        const char* name;
        ParkAirportSettings settings;
        std::int32_t liveSel, maxFit, range, parking;
        double rangeNm;
    };
    const std::vector<Case> cases = {
        {"lowest ints", {INT_MIN, INT_MIN, INT_MIN, INT_MIN, false, false, false, false}, 0, 0, 2, 0, 2.0},
        {"highest ints",
         {INT_MAX, INT_MAX, INT_MAX, INT_MAX, false, false, false, false},
         500,
         47,
         100,
         100,
         10800.0},
        {"between choices", {33, 5, 7, 33, false, true, true, false}, 33, 5, 7, 33, 7.0},
    };
    for (const auto& item : cases) {
        SCOPED_TRACE(item.name);
        sink().clear();
        userSettingsSnapshot = item.settings;
        gf_applySettingsToParameters();
        EXPECT_EQ(MAX_LIVE_SEL.get(), item.liveSel);
        EXPECT_EQ(MAX_FIT.get(), item.maxFit);
        EXPECT_EQ(RANGE.get(), item.range);
        EXPECT_EQ(parking_percentage.get(), item.parking);
        EXPECT_EQ(lateralRangeNm.load(), item.rangeNm);
        EXPECT_EQ(lateralRangeMeters.load(), static_cast<std::uint32_t>(item.rangeNm) * 1852U);
        EXPECT_TRUE(test::contains(sink().calls(), "enable RANGE true"));
        EXPECT_TRUE(test::contains(sink().calls(), "enable AR_ABOVE_HEIGHT false"));
        EXPECT_EQ(
            currentParkAirportSettings(),
            (ParkAirportSettings{item.liveSel, item.maxFit, item.range, item.parking, item.settings.autoRange,
                                 item.settings.initialLoadOnly, item.settings.parkSoft, item.settings.week}));
    }
}

TEST_F(ParametersTest, SetRangeBoundsTheCopiesAndSavesNothing) {
    struct Case {
        std::int32_t nm;
        std::int32_t range;
        double copyNm;
        std::uint32_t meters;
    };
    const std::vector<Case> cases = {
        {-5, 2, 2.0, 3704},
        {20000, 100, 10800.0, 20001600},
        {150, 100, 150.0, 277800},
        {7, 7, 7.0, 12964},
        {40, 40, 40.0, 74080},
        {INT_MIN, 2, 2.0, 3704},
        {INT_MAX, 100, 10800.0, 20001600},
        {10800, 100, 10800.0, 20001600},
        {0, 2, 2.0, 3704},
    };
    gf_saveParameters(false);
    const std::string before = test::readFileBytes(file());
    for (const auto& item : cases) {
        SCOPED_TRACE(item.nm);
        sink().clear();
        EXPECT_EQ(gf_setRange(item.nm), item.meters);
        EXPECT_EQ(RANGE.get(), item.range);
        EXPECT_EQ(lateralRangeNm.load(), item.copyNm);
        EXPECT_EQ(lateralRangeMeters.load(), item.meters);
        EXPECT_EQ(sink().calls(),
                  std::vector<std::string>{"selectComboEntry RANGE " + std::to_string(item.range)});
    }
    EXPECT_EQ(test::readFileBytes(file()), before);
}

} // namespace
} // namespace zeph
