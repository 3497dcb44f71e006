#pragma once
#include <cstdint>

namespace zeph {

// The eight settings that a park airport's file may change, as they were before it did.
struct ParkAirportSettings {
    std::int32_t liveSelection = 0;     // as MAX_LIVE_SEL
    std::int32_t maxFit = 0;            // as MAX_FIT
    std::int32_t rangeNm = 0;           // as RANGE
    std::int32_t parkingPercentage = 0; // as parking_percentage
    bool autoRange = false;
    bool initialLoadOnly = false;
    bool parkSoft = false;
    bool week = false;

    friend bool operator==(const ParkAirportSettings&, const ParkAirportSettings&) = default;
};

// The user's settings, taken by the park-airport reader just before an airport's learned file can change
// them. Written and read on the traffic thread only.
extern ParkAirportSettings userSettingsSnapshot;

// Takes settings as userSettingsSnapshot and marks them as the user's own until gf_applySettingsToParameters
// has put them back. Traffic thread.
void keepUserSettings(const ParkAirportSettings& settings);

// The kept settings are no longer in force (a failed load that changed nothing). gf_applySettingsToParameters
// ends with this too.
void releaseUserSettings();

// The user's own eight, for a whole-file write of parameters.xml from any thread: the kept snapshot while an
// airport's settings are in force, else the current values (RANGE as chosen either way).
ParkAirportSettings usersOwnSettings();

// The eight current values, as the park-airport reader takes them; RANGE as chosen (chosenRangeNm), since
// what the automatic range picked for where the aircraft stood is no setting to keep or restore.
ParkAirportSettings currentParkAirportSettings();

// Copies userSettingsSnapshot back into MAX_LIVE_SEL, MAX_FIT, RANGE, parking_percentage, AUTO_RANGE,
// INITIAL_LOAD_ONLY, PARK_SOFT and WEEK, in this order: each clamped to its bounds, saved, and shown by its
// control.
void gf_applySettingsToParameters();

} // namespace zeph
