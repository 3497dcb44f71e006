#include "settings/parameter_table.h"

#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "settings/range.h"

namespace zeph {
namespace {

template <class List> std::vector<std::string> keysOf(const List& registry) {
    std::vector<std::string> keys;
    for (const auto* member : registry) {
        keys.push_back(member->key);
    }
    return keys;
}

std::vector<std::string> numbered(const std::string& stem) {
    std::vector<std::string> keys;
    for (int i = 0; i < 10; ++i) {
        keys.push_back(stem + std::to_string(i));
    }
    return keys;
}

TEST(ParameterTable, EveryObjectOnceWithItsKey) {
    struct Case {
        const Parameter* object;
        std::string key;
    };
    const std::vector<Case> cases = {
        {&LAST_EPOCH_TIME, "LAST_EPOCH_TIME:"},
        {&lfolder[0], "lfolder0"},
        {&lfolder[9], "lfolder9"},
        {&afolder[0], "afolder0"},
        {&afolder[9], "afolder9"},
        {&parking_percentage, "parking_percentage"},
        {&MAX_FIT_FL, "MAX_FIT_FL"},
        {&RANGE, "RANGE"},
        {&SCAN_LIVERIES, "SCAN_LIVERIES"},
        {&tbloButton, "tblo"},
        {&unblockButton, "Unblock"},
        {&csToOidButton, "cs->oid:"},
        {&blockButton, "Block"},
        {&nowButton, "Now"},
        {&rereadButton, "Re-read"},
        {&flushStaticButton, "Flush static"},
        {&CALLSIGN_2_OBJECTID, "CALLSIGN_2_OBJECTID"},
    };
    for (const auto& item : cases) {
        EXPECT_EQ(item.object->key, item.key);
    }
    EXPECT_EQ(everyParameter.size(), 76U);
    std::set<std::string> keys;
    for (const Parameter* parameter : everyParameter) {
        EXPECT_TRUE(keys.insert(parameter->key).second) << "twice: " << parameter->key;
    }
}

TEST(ParameterTable, RegistriesInWriteOrder) {
    std::vector<std::string> strings = {"PROGRAM_VERSION", "SIM_INSTALL_PATH", "PORT_NUMBER"};
    for (const char* stem : {"lfolder", "afolder"}) {
        auto folders = numbered(stem);
        strings.insert(strings.end(), folders.begin(), folders.end());
    }
    strings.insert(strings.end(), {"AIG_VERSION", "DBASE_VERSION", "AIRPORTS_VERSION", "LIV_SCAN_VERSION",
                                   "ADDONS_SCAN_VERSION", "DESTINATION"});
    struct Case {
        const char* registry;
        std::vector<std::string> actual;
        std::vector<std::string> expected;
    };
    const std::vector<Case> cases = {
        {"boolParameters", keysOf(boolParameters), {"RANDOM"}},
        {"checkBoxParameters",
         keysOf(checkBoxParameters),
         {"AEROWINX", "COLLISION_USER_AIR", "COLLISION_USER_GND", "COLLISION_LIVE_PARKED_GND",
          "ALWAYS_ON_TOP", "SCAN_LIVERIES", "LIG_PRIORITIZE", "AIRBORNE_ONLY", "SCAN_AIRPORTS",
          "LIGHT_AIRCRAFT", "HELICOPTERS", "HIGH_PERF_AIRCRAFT", "NAV_LIGHTS_WHILE_PARKED", "AUTO_RANGE",
          "STRAIGHT_PBS_ONLY", "PARK_SOFT", "WEEK", "INITIAL_LOAD_ONLY", "GUID_CHANGES"}},
        {"numParameters",
         keysOf(numParameters),
         {"CUSTOM_PARKING_PERCENTAGE", "MAIN_WINDOW_X", "MAIN_WINDOW_Y",
          "LAST_EPOCH_TIME:", "HOLDING_THRESHOLD_METERS", "MAX_HOLDING_MINUTES", "MAX_FIT", "P3D_VERSION"}},
        {"comboParameters",
         keysOf(comboParameters),
         {"MATCHING_DEPTH", "RANGE", "AR_ABOVE_HEIGHT", "MAX_PARK_SEL", "MAX_LIVE_SEL", "AIRP_RANGE",
          "AIRP_HEIGHT"}},
        {"stringParameters", keysOf(stringParameters), strings},
        {"editParameters", keysOf(editParameters), {"BLOCK_CALLSIGN"}},
    };
    std::set<std::string> stored;
    for (const auto& item : cases) {
        SCOPED_TRACE(item.registry);
        EXPECT_EQ(item.actual, item.expected);
        for (const std::string& key : item.actual) {
            EXPECT_TRUE(stored.insert(key).second) << "in two registries: " << key;
        }
    }
    EXPECT_EQ(stored.size(), 65U);
    for (const Parameter* unstored : std::vector<const Parameter*>{
             &parking_percentage, &MAX_FIT_FL, &ALL_INSTALL_PATH, &CALLSIGN_2_OBJECTID, &tbloButton}) {
        EXPECT_FALSE(isRegistered(*unstored)) << unstored->key;
    }
    EXPECT_TRUE(isRegistered(DESTINATION));
    EXPECT_TRUE(isRegistered(LAST_EPOCH_TIME));
}

TEST(ParameterTable, ControlsCarryTheirIdsAndRows) {
    struct Case {
        std::string key;
        std::uint16_t id;
        std::int32_t row;
    };
    const std::vector<Case> cases = {
        {"SCAN_LIVERIES", 32798, 147},
        {"SCAN_AIRPORTS", 32802, 175},
        {"LIGHT_AIRCRAFT", 32809, 203},
        {"HELICOPTERS", 32810, 203},
        {"HIGH_PERF_AIRCRAFT", 32811, 203},
        {"GUID_CHANGES", 32773, 203},
        {"AEROWINX", 32774, 203},
        {"AUTO_RANGE", 32819, 231},
        {"AIRBORNE_ONLY", 32821, 231},
        {"NAV_LIGHTS_WHILE_PARKED", 32776, 175},
        {"ALWAYS_ON_TOP", 32771, 147},
        {"LIG_PRIORITIZE", 32800, 147},
        {"COLLISION_USER_AIR", 32833, 287},
        {"COLLISION_USER_GND", 32834, 287},
        {"COLLISION_LIVE_PARKED_GND", 32835, 287},
        {"STRAIGHT_PBS_ONLY", 32855, 315},
        {"INITIAL_LOAD_ONLY", 32851, 371},
        {"PARK_SOFT", 32852, 371},
        {"WEEK", 32853, 371},
        {"MATCHING_DEPTH", 32808, 203},
        {"RANGE", 32818, 231},
        {"AR_ABOVE_HEIGHT", 32820, 231},
        {"MAX_PARK_SEL", 32848, 315},
        {"MAX_LIVE_SEL", 32849, 315},
        {"AIRP_RANGE", 32840, 343},
        {"AIRP_HEIGHT", 32841, 343},
        {"parking_percentage", 32850, 371},
        {"MAX_FIT_FL", 32854, 371},
        {"DESTINATION", 32839, 343},
        {"BLOCK_CALLSIGN", 32828, 259},
        {"ALL_INSTALL_PATH", 32788, 119},
        {"CALLSIGN_2_OBJECTID", 32831, 259},
        {"tblo", 32804, 175},
        {"Unblock", 32829, 257},
        {"cs->oid:", 32830, 257},
        {"Block", 32832, 257},
        {"Now", 32847, 313},
        {"Re-read", 32838, 341},
        {"Flush static", 32857, 369},
    };
    std::vector<const ParameterControl*> controls;
    for (const Parameter* parameter : everyParameter) {
        if (const auto* control = dynamic_cast<const ParameterControl*>(parameter)) {
            controls.push_back(control);
        }
    }
    ASSERT_EQ(controls.size(), cases.size());
    for (const auto& item : cases) {
        SCOPED_TRACE(item.key);
        auto found = std::find_if(everyParameter.begin(), everyParameter.end(),
                                  [&](const Parameter* p) { return p->key == item.key; });
        ASSERT_NE(found, everyParameter.end());
        const auto* control = dynamic_cast<const ParameterControl*>(*found);
        ASSERT_NE(control, nullptr);
        EXPECT_EQ(control->controlId, item.id);
        EXPECT_EQ(control->row, item.row);
        EXPECT_EQ(control->handle, nullptr);
        EXPECT_EQ(control->prevProc, 0U);
    }
}

TEST(ParameterTable, CombosTakeTheirBoundsFromTheirChoices) {
    struct Case {
        const ComboParameter<std::int32_t>* combo;
        std::size_t count;
        std::int32_t defaultValue;
        std::int32_t first;
        std::int32_t last;
    };
    const std::vector<Case> cases = {
        {&MATCHING_DEPTH, 4, 4, 1, 4},
        {&RANGE, 20, 40, 2, 100},
        {&AR_ABOVE_HEIGHT, 11, 48000, 18000, 48000},
        {&MAX_PARK_SEL, 7, 500, 0, 500},
        {&MAX_LIVE_SEL, 7, 500, 0, 500},
        {&AIRP_RANGE, 6, 20, 5, 30},
        {&AIRP_HEIGHT, 11, 18000, 2000, 48000},
        {&parking_percentage, 21, 30, 0, 100},
    };
    for (const auto& item : cases) {
        SCOPED_TRACE(item.combo->key);
        EXPECT_EQ(item.combo->choices.size(), item.count);
        EXPECT_EQ(item.combo->defaultValue, item.defaultValue);
        EXPECT_EQ(item.combo->get(), item.defaultValue);
        EXPECT_EQ(item.combo->min, item.first);
        EXPECT_EQ(item.combo->max, item.last);
        EXPECT_EQ(item.combo->choices.front(), item.first);
        EXPECT_EQ(item.combo->choices.back(), item.last);
        EXPECT_TRUE(std::is_sorted(item.combo->choices.begin(), item.combo->choices.end()));
    }
    EXPECT_EQ(AIRP_HEIGHT.choices[8], 18000);
    EXPECT_EQ(AIRP_HEIGHT.choices[9], 36000);
    EXPECT_EQ(MAX_PARK_SEL.choices, maxSelChoices);
    EXPECT_EQ(MAX_LIVE_SEL.choices, maxSelChoices);
    EXPECT_EQ(MAX_FIT_FL.choices.size(), 20U);
    EXPECT_EQ(MAX_FIT_FL.min, 0.5F);
    EXPECT_EQ(MAX_FIT_FL.max, 24.0F);
    EXPECT_EQ(MAX_FIT_FL.get(), 24.0F);
}

TEST(ParameterTable, HiddenNumbersAndDefaults) {
    struct Case {
        const NumParameter<std::int32_t>* number;
        std::int32_t defaultValue;
        std::int32_t min;
        std::int32_t max;
    };
    const std::vector<Case> cases = {
        {&CUSTOM_PARKING_PERCENTAGE, -1, -1, 100},
        {&MAIN_WINDOW_X, 400, -30000, 30000},
        {&MAIN_WINDOW_Y, 20, -30000, 30000},
        {&LAST_EPOCH_TIME, 0, 0, 2147483647},
        {&HOLDING_THRESHOLD_METERS, 250, 10, 4000},
        {&MAX_HOLDING_MINUTES, 20, 1, 60},
        {&MAX_FIT, 47, 0, 47},
        {&P3D_VERSION, 5, 5, 6},
    };
    for (const auto& item : cases) {
        SCOPED_TRACE(item.number->key);
        EXPECT_EQ(item.number->get(), item.defaultValue);
        EXPECT_EQ(item.number->min, item.min);
        EXPECT_EQ(item.number->max, item.max);
    }
    std::vector<std::string> trueByDefault;
    for (const CheckBoxParameter* box : checkBoxParameters) {
        if (box->get()) {
            trueByDefault.push_back(box->key);
        }
    }
    EXPECT_EQ(trueByDefault,
              (std::vector<std::string>{"COLLISION_USER_AIR", "COLLISION_USER_GND", "SCAN_LIVERIES",
                                        "LIG_PRIORITIZE", "SCAN_AIRPORTS", "LIGHT_AIRCRAFT", "HELICOPTERS",
                                        "HIGH_PERF_AIRCRAFT", "NAV_LIGHTS_WHILE_PARKED", "AUTO_RANGE",
                                        "GUID_CHANGES"}));
    EXPECT_TRUE(RANDOM.get());
    EXPECT_EQ(PORT_NUMBER.get(), "10747");
    EXPECT_EQ(PROGRAM_VERSION.get(), "");
}

TEST(ParameterTable, SharedObjectsStartAsTheTableSays) {
    EXPECT_EQ(lateralRangeNm.load(), 40.0);
    EXPECT_EQ(lateralRangeMeters.load(), 74080U);
    EXPECT_EQ(perAirportSettingNames,
              (std::array<std::string, 8>{"RANGE", "AUTO_RANGE", "INITIAL_LOAD_ONLY", "PARK_SOFT",
                                          "parking_percentage", "MAX_FIT", "WEEK", "MAX_LIVE_SEL"}));
    EXPECT_EQ(CALLSIGN_2_OBJECTID.callsigns, callsignList);
    std::lock_guard lock(callsignListMutex);
    EXPECT_EQ(*callsignList, std::vector<std::string>{""});
}

} // namespace
} // namespace zeph
