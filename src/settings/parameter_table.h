#pragma once
#include <array>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "settings/parameter.h"

namespace zeph {

// Every setting of the program. The objects live for the whole process; each C++ name is its key, except
// LAST_EPOCH_TIME (key "LAST_EPOCH_TIME:") and the arrays lfolder and afolder (keys "lfolder0".."afolder9").

// Choice lists of the combo boxes, ascending. MAX_PARK_SEL and MAX_LIVE_SEL share one.
extern const std::vector<std::int32_t> matchingDepthChoices;
extern const std::vector<std::int32_t> rangeChoices;
extern const std::vector<std::int32_t> arAboveHeightChoices;
extern const std::vector<std::int32_t> maxSelChoices;
extern const std::vector<std::int32_t> airpRangeChoices;
extern const std::vector<std::int32_t> airpHeightChoices;
extern const std::vector<std::int32_t> parkingPercentageChoices;
extern const std::vector<float> maxFitFlChoices;

// The callsigns of the live aircraft, shown by CALLSIGN_2_OBJECTID; one empty entry at the start. Read and
// written only under callsignListMutex.
extern const std::shared_ptr<std::vector<std::string>> callsignList;
extern std::mutex callsignListMutex;

// Check boxes.
extern CheckBoxParameter SCAN_LIVERIES;
extern CheckBoxParameter SCAN_AIRPORTS;
extern CheckBoxParameter LIGHT_AIRCRAFT;
extern CheckBoxParameter HELICOPTERS;
extern CheckBoxParameter HIGH_PERF_AIRCRAFT;
extern CheckBoxParameter GUID_CHANGES;
extern CheckBoxParameter AEROWINX;
extern CheckBoxParameter AUTO_RANGE;
extern CheckBoxParameter AIRBORNE_ONLY;
extern CheckBoxParameter NAV_LIGHTS_WHILE_PARKED;
extern CheckBoxParameter ALWAYS_ON_TOP;
extern CheckBoxParameter LIG_PRIORITIZE;
extern CheckBoxParameter COLLISION_USER_AIR;
extern CheckBoxParameter COLLISION_USER_GND;
extern CheckBoxParameter COLLISION_LIVE_PARKED_GND;
extern CheckBoxParameter STRAIGHT_PBS_ONLY;
extern CheckBoxParameter INITIAL_LOAD_ONLY;
extern CheckBoxParameter PARK_SOFT;
extern CheckBoxParameter WEEK;

// Randomise choices (liveries, stands, list orders). Hidden.
extern BoolParameter RANDOM;

// Hidden numbers.
extern NumParameter<std::int32_t> CUSTOM_PARKING_PERCENTAGE;
extern NumParameter<std::int32_t> MAIN_WINDOW_X;
extern NumParameter<std::int32_t> MAIN_WINDOW_Y;
extern NumParameter<std::int32_t> LAST_EPOCH_TIME;
extern NumParameter<std::int32_t> HOLDING_THRESHOLD_METERS;
extern NumParameter<std::int32_t> MAX_HOLDING_MINUTES;
extern NumParameter<std::int32_t> MAX_FIT; // half hours; shown in hours by MAX_FIT_FL
extern NumParameter<std::int32_t> P3D_VERSION;

// Combo boxes. parking_percentage is in no registry (stored only by its own save); MAX_FIT_FL is never
// stored.
extern ComboParameter<std::int32_t> MATCHING_DEPTH;
extern ComboParameter<std::int32_t> RANGE; // nautical miles
extern ComboParameter<std::int32_t> AR_ABOVE_HEIGHT;
extern ComboParameter<std::int32_t> MAX_PARK_SEL;
extern ComboParameter<std::int32_t> MAX_LIVE_SEL;
extern ComboParameter<std::int32_t> AIRP_RANGE;
extern ComboParameter<std::int32_t> AIRP_HEIGHT;
extern ComboParameter<std::int32_t> parking_percentage;
extern ComboParameter<float> MAX_FIT_FL;

// Strings. DESTINATION is an edit field that is stored with the strings.
extern StringParameter PROGRAM_VERSION;
extern StringParameter SIM_INSTALL_PATH;
extern StringParameter PORT_NUMBER;
extern std::array<StringParameter, 10> lfolder; // livery folders
extern std::array<StringParameter, 10> afolder; // add-on airport folders
extern StringParameter AIG_VERSION;
extern StringParameter DBASE_VERSION;
extern StringParameter AIRPORTS_VERSION;
extern StringParameter LIV_SCAN_VERSION;
extern StringParameter ADDONS_SCAN_VERSION;
extern EditParameter DESTINATION;

// Edit fields. ALL_INSTALL_PATH and CALLSIGN_2_OBJECTID are never stored.
extern EditParameter BLOCK_CALLSIGN;
extern EditParameter ALL_INSTALL_PATH;
extern CallsignListParameter CALLSIGN_2_OBJECTID;

// Push buttons, never stored.
extern Button tbloButton;
extern Button unblockButton;
extern Button csToOidButton;
extern Button blockButton;
extern Button nowButton;
extern Button rereadButton;
extern Button flushStaticButton;

// The keys under which an airport file keeps the park airport's own settings.
extern const std::array<std::string, 8> perAirportSettingNames;

// The stored parameters by kind, in the order of a whole write. Never changed after construction.
extern const std::vector<BoolParameter*> boolParameters;
extern const std::vector<CheckBoxParameter*> checkBoxParameters;
extern const std::vector<NumParameter<std::int32_t>*> numParameters;
extern const std::vector<ComboParameter<std::int32_t>*> comboParameters;
extern const std::vector<StringParameter*> stringParameters;
extern const std::vector<EditParameter*> editParameters;

// Every parameter object, buttons included, in the order of the table above. Never changed after
// construction; the window finds its controls in it.
extern const std::vector<Parameter*> everyParameter;

// True when one of the six registries holds the parameter, so a whole write stores it.
bool isRegistered(const Parameter& parameter);

} // namespace zeph
