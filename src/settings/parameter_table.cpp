#include "settings/parameter_table.h"

#include <algorithm>

#include "settings/range.h"

// Every object of the table lives in this one file, so the order of construction is the order below: a
// choice list before its combo box, the callsign list before the parameter that shares it, RANGE before the
// range copies and the setting names, every parameter before the registries.

namespace zeph {

namespace {

std::vector<std::int32_t> steps(std::int32_t first, std::int32_t last, std::int32_t step) {
    std::vector<std::int32_t> values;
    for (std::int32_t v = first; v <= last; v += step) {
        values.push_back(v);
    }
    return values;
}

std::vector<std::int32_t> airportHeights() {
    std::vector<std::int32_t> values = steps(2000, 18000, 2000);
    values.push_back(36000);
    values.push_back(48000);
    return values;
}

} // namespace

// Choice lists.
const std::vector<std::int32_t> matchingDepthChoices{1, 2, 3, 4};
const std::vector<std::int32_t> rangeChoices{2,  3,  4,  5,  6,  8,  10, 12, 14, 16,
                                             18, 20, 25, 30, 35, 40, 50, 65, 80, 100};
const std::vector<std::int32_t> arAboveHeightChoices = steps(18000, 48000, 3000);
const std::vector<std::int32_t> maxSelChoices{0, 10, 25, 50, 75, 100, 500};
const std::vector<std::int32_t> airpRangeChoices{5, 10, 15, 20, 25, 30};
const std::vector<std::int32_t> airpHeightChoices = airportHeights();
const std::vector<std::int32_t> parkingPercentageChoices = steps(0, 100, 5);
const std::vector<float> maxFitFlChoices{0.5F, 1.0F, 1.5F, 2.0F, 2.5F,  3.0F,  3.5F,  4.0F,  4.5F,  5.0F,
                                         6.0F, 7.0F, 8.0F, 9.0F, 10.0F, 12.0F, 15.0F, 18.0F, 21.0F, 24.0F};

// The callsign list, before CALLSIGN_2_OBJECTID copies its pointer.
const std::shared_ptr<std::vector<std::string>> callsignList =
    std::make_shared<std::vector<std::string>>(1, std::string());
std::mutex callsignListMutex;

// Check boxes.
CheckBoxParameter SCAN_LIVERIES("SCAN_LIVERIES", true, 32798, 147);
CheckBoxParameter SCAN_AIRPORTS("SCAN_AIRPORTS", true, 32802, 175);
CheckBoxParameter LIGHT_AIRCRAFT("LIGHT_AIRCRAFT", true, 32809, 203);
CheckBoxParameter HELICOPTERS("HELICOPTERS", true, 32810, 203);
CheckBoxParameter HIGH_PERF_AIRCRAFT("HIGH_PERF_AIRCRAFT", true, 32811, 203);
CheckBoxParameter GUID_CHANGES("GUID_CHANGES", true, 32773, 203);
CheckBoxParameter AEROWINX("AEROWINX", false, 32774, 203);
CheckBoxParameter AUTO_RANGE("AUTO_RANGE", true, 32819, 231);
CheckBoxParameter AIRBORNE_ONLY("AIRBORNE_ONLY", false, 32821, 231);
CheckBoxParameter NAV_LIGHTS_WHILE_PARKED("NAV_LIGHTS_WHILE_PARKED", true, 32776, 175);
CheckBoxParameter ALWAYS_ON_TOP("ALWAYS_ON_TOP", false, 32771, 147);
CheckBoxParameter LIG_PRIORITIZE("LIG_PRIORITIZE", true, 32800, 147);
CheckBoxParameter COLLISION_USER_AIR("COLLISION_USER_AIR", true, 32833, 287);
CheckBoxParameter COLLISION_USER_GND("COLLISION_USER_GND", true, 32834, 287);
CheckBoxParameter COLLISION_LIVE_PARKED_GND("COLLISION_LIVE_PARKED_GND", false, 32835, 287);
CheckBoxParameter STRAIGHT_PBS_ONLY("STRAIGHT_PBS_ONLY", false, 32855, 315);
CheckBoxParameter INITIAL_LOAD_ONLY("INITIAL_LOAD_ONLY", false, 32851, 371);
CheckBoxParameter PARK_SOFT("PARK_SOFT", false, 32852, 371);
CheckBoxParameter WEEK("WEEK", false, 32853, 371);

BoolParameter RANDOM("RANDOM", true);

// Hidden numbers.
NumParameter<std::int32_t> CUSTOM_PARKING_PERCENTAGE("CUSTOM_PARKING_PERCENTAGE", -1, -1, 100);
NumParameter<std::int32_t> MAIN_WINDOW_X("MAIN_WINDOW_X", 400, -30000, 30000);
NumParameter<std::int32_t> MAIN_WINDOW_Y("MAIN_WINDOW_Y", 20, -30000, 30000);
NumParameter<std::int32_t> LAST_EPOCH_TIME("LAST_EPOCH_TIME:", 0, 0, 2147483647);
NumParameter<std::int32_t> HOLDING_THRESHOLD_METERS("HOLDING_THRESHOLD_METERS", 250, 10, 4000);
NumParameter<std::int32_t> MAX_HOLDING_MINUTES("MAX_HOLDING_MINUTES", 20, 1, 60);
NumParameter<std::int32_t> MAX_FIT("MAX_FIT", 47, 0, 47);
NumParameter<std::int32_t> P3D_VERSION("P3D_VERSION", 5, 5, 6);

// Combo boxes.
ComboParameter<std::int32_t> MATCHING_DEPTH("MATCHING_DEPTH", 4, matchingDepthChoices, 32808, 203);
ComboParameter<std::int32_t> RANGE("RANGE", 40, rangeChoices, 32818, 231);
ComboParameter<std::int32_t> AR_ABOVE_HEIGHT("AR_ABOVE_HEIGHT", 48000, arAboveHeightChoices, 32820, 231);
ComboParameter<std::int32_t> MAX_PARK_SEL("MAX_PARK_SEL", 500, maxSelChoices, 32848, 315);
ComboParameter<std::int32_t> MAX_LIVE_SEL("MAX_LIVE_SEL", 500, maxSelChoices, 32849, 315);
ComboParameter<std::int32_t> AIRP_RANGE("AIRP_RANGE", 20, airpRangeChoices, 32840, 343);
ComboParameter<std::int32_t> AIRP_HEIGHT("AIRP_HEIGHT", 18000, airpHeightChoices, 32841, 343);
ComboParameter<std::int32_t> parking_percentage("parking_percentage", 30, parkingPercentageChoices, 32850,
                                                371);
ComboParameter<float> MAX_FIT_FL("MAX_FIT_FL", 24.0F, maxFitFlChoices, 32854, 371);

// Strings.
StringParameter PROGRAM_VERSION("PROGRAM_VERSION", "");
StringParameter SIM_INSTALL_PATH("SIM_INSTALL_PATH", "");
StringParameter PORT_NUMBER("PORT_NUMBER", "10747");
std::array<StringParameter, 10> lfolder{{{"lfolder0", ""},
                                         {"lfolder1", ""},
                                         {"lfolder2", ""},
                                         {"lfolder3", ""},
                                         {"lfolder4", ""},
                                         {"lfolder5", ""},
                                         {"lfolder6", ""},
                                         {"lfolder7", ""},
                                         {"lfolder8", ""},
                                         {"lfolder9", ""}}};
std::array<StringParameter, 10> afolder{{{"afolder0", ""},
                                         {"afolder1", ""},
                                         {"afolder2", ""},
                                         {"afolder3", ""},
                                         {"afolder4", ""},
                                         {"afolder5", ""},
                                         {"afolder6", ""},
                                         {"afolder7", ""},
                                         {"afolder8", ""},
                                         {"afolder9", ""}}};
StringParameter AIG_VERSION("AIG_VERSION", "");
StringParameter DBASE_VERSION("DBASE_VERSION", "");
StringParameter AIRPORTS_VERSION("AIRPORTS_VERSION", "");
StringParameter LIV_SCAN_VERSION("LIV_SCAN_VERSION", "");
StringParameter ADDONS_SCAN_VERSION("ADDONS_SCAN_VERSION", "");
EditParameter DESTINATION("DESTINATION", "", 32839, 343);

// Edit fields.
EditParameter BLOCK_CALLSIGN("BLOCK_CALLSIGN", "", 32828, 259);
EditParameter ALL_INSTALL_PATH("ALL_INSTALL_PATH", "", 32788, 119);
CallsignListParameter CALLSIGN_2_OBJECTID("CALLSIGN_2_OBJECTID", "", 32831, 259, callsignList);

// Push buttons.
Button tbloButton("tblo", 32804, 175);
Button unblockButton("Unblock", 32829, 257);
Button csToOidButton("cs->oid:", 32830, 257);
Button blockButton("Block", 32832, 257);
Button nowButton("Now", 32847, 313);
Button rereadButton("Re-read", 32838, 341);
Button flushStaticButton("Flush static", 32857, 369);

// Range copies, from RANGE's value.
std::atomic<double> lateralRangeNm{static_cast<double>(RANGE.get())};
std::atomic<std::uint32_t> lateralRangeMeters{static_cast<std::uint32_t>(RANGE.get()) * metersPerNm};

const std::array<std::string, 8> perAirportSettingNames{
    RANGE.key,   AUTO_RANGE.key, INITIAL_LOAD_ONLY.key, PARK_SOFT.key, parking_percentage.key,
    MAX_FIT.key, WEEK.key,       MAX_LIVE_SEL.key};

// Registries, in the order of a whole write.
const std::vector<BoolParameter*> boolParameters{&RANDOM};

const std::vector<CheckBoxParameter*> checkBoxParameters{&AEROWINX,
                                                         &COLLISION_USER_AIR,
                                                         &COLLISION_USER_GND,
                                                         &COLLISION_LIVE_PARKED_GND,
                                                         &ALWAYS_ON_TOP,
                                                         &SCAN_LIVERIES,
                                                         &LIG_PRIORITIZE,
                                                         &AIRBORNE_ONLY,
                                                         &SCAN_AIRPORTS,
                                                         &LIGHT_AIRCRAFT,
                                                         &HELICOPTERS,
                                                         &HIGH_PERF_AIRCRAFT,
                                                         &NAV_LIGHTS_WHILE_PARKED,
                                                         &AUTO_RANGE,
                                                         &STRAIGHT_PBS_ONLY,
                                                         &PARK_SOFT,
                                                         &WEEK,
                                                         &INITIAL_LOAD_ONLY,
                                                         &GUID_CHANGES};

const std::vector<NumParameter<std::int32_t>*> numParameters{
    &CUSTOM_PARKING_PERCENTAGE, &MAIN_WINDOW_X,       &MAIN_WINDOW_Y, &LAST_EPOCH_TIME,
    &HOLDING_THRESHOLD_METERS,  &MAX_HOLDING_MINUTES, &MAX_FIT,       &P3D_VERSION};

const std::vector<ComboParameter<std::int32_t>*> comboParameters{
    &MATCHING_DEPTH, &RANGE, &AR_ABOVE_HEIGHT, &MAX_PARK_SEL, &MAX_LIVE_SEL, &AIRP_RANGE, &AIRP_HEIGHT};

namespace {

std::vector<StringParameter*> storedStrings() {
    std::vector<StringParameter*> list{&PROGRAM_VERSION, &SIM_INSTALL_PATH, &PORT_NUMBER};
    for (StringParameter& folder : lfolder) {
        list.push_back(&folder);
    }
    for (StringParameter& folder : afolder) {
        list.push_back(&folder);
    }
    list.insert(list.end(), {&AIG_VERSION, &DBASE_VERSION, &AIRPORTS_VERSION, &LIV_SCAN_VERSION,
                             &ADDONS_SCAN_VERSION, &DESTINATION});
    return list;
}

std::vector<Parameter*> everyObject() {
    std::vector<Parameter*> list;
    for (CheckBoxParameter* box :
         {&SCAN_LIVERIES, &SCAN_AIRPORTS, &LIGHT_AIRCRAFT, &HELICOPTERS, &HIGH_PERF_AIRCRAFT, &GUID_CHANGES,
          &AEROWINX, &AUTO_RANGE, &AIRBORNE_ONLY, &NAV_LIGHTS_WHILE_PARKED, &ALWAYS_ON_TOP, &LIG_PRIORITIZE,
          &COLLISION_USER_AIR, &COLLISION_USER_GND, &COLLISION_LIVE_PARKED_GND, &STRAIGHT_PBS_ONLY,
          &INITIAL_LOAD_ONLY, &PARK_SOFT, &WEEK}) {
        list.push_back(box);
    }
    list.push_back(&RANDOM);
    list.insert(list.end(), numParameters.begin(), numParameters.end());
    list.insert(list.end(), comboParameters.begin(), comboParameters.end());
    list.insert(list.end(), {&parking_percentage, &MAX_FIT_FL});
    list.insert(list.end(), stringParameters.begin(), stringParameters.end());
    list.insert(list.end(),
                {&BLOCK_CALLSIGN, &ALL_INSTALL_PATH, &CALLSIGN_2_OBJECTID, &tbloButton, &unblockButton,
                 &csToOidButton, &blockButton, &nowButton, &rereadButton, &flushStaticButton});
    return list;
}

} // namespace

const std::vector<StringParameter*> stringParameters = storedStrings();

const std::vector<EditParameter*> editParameters{&BLOCK_CALLSIGN};

const std::vector<Parameter*> everyParameter = everyObject();

namespace {

template <class List> bool holds(const List& registry, const Parameter& parameter) {
    return std::any_of(registry.begin(), registry.end(), [&](const auto* member) {
        return static_cast<const Parameter*>(member) == &parameter;
    });
}

} // namespace

bool isRegistered(const Parameter& parameter) {
    return holds(boolParameters, parameter) || holds(checkBoxParameters, parameter) ||
           holds(numParameters, parameter) || holds(comboParameters, parameter) ||
           holds(stringParameters, parameter) || holds(editParameters, parameter);
}

} // namespace zeph
