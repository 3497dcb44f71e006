#include "settings/airport_settings.h"

#include <mutex>
#include <optional>

#include "settings/control_sink.h"
#include "settings/parameter_table.h"
#include "settings/range.h"

namespace zeph {

ParkAirportSettings userSettingsSnapshot;

namespace {

// A copy of the snapshot for other threads; set while an airport's settings are in force. A leaf lock.
std::mutex keptSettingsMutex;
std::optional<ParkAirportSettings> keptSettings;

void setAndCheck(CheckBoxParameter& box, bool value) {
    box.set(value);
    controlSink().setCheck(box);
}

} // namespace

ParkAirportSettings currentParkAirportSettings() {
    return {MAX_LIVE_SEL.get(), MAX_FIT.get(),           chosenRangeNm(), parking_percentage.get(),
            AUTO_RANGE.get(),   INITIAL_LOAD_ONLY.get(), PARK_SOFT.get(), WEEK.get()};
}

void keepUserSettings(const ParkAirportSettings& settings) {
    userSettingsSnapshot = settings;
    const std::lock_guard lock(keptSettingsMutex);
    keptSettings = settings;
}

void releaseUserSettings() {
    const std::lock_guard lock(keptSettingsMutex);
    keptSettings.reset();
}

ParkAirportSettings usersOwnSettings() {
    const ParkAirportSettings current = currentParkAirportSettings();
    const std::lock_guard lock(keptSettingsMutex);
    return keptSettings.value_or(current);
}

void gf_applySettingsToParameters() {
    const ParkAirportSettings settings = userSettingsSnapshot;
    ControlSink& sink = controlSink();

    MAX_LIVE_SEL.set(MAX_LIVE_SEL.clamp(settings.liveSelection));
    sink.showComboValue(MAX_LIVE_SEL);

    MAX_FIT.set(MAX_FIT.clamp(settings.maxFit));
    sink.selectMaxFitCombo();

    RANGE.set(RANGE.clamp(settings.rangeNm));
    // The range copies take the airport's value as given (within their own bounds).
    gf_setRange(settings.rangeNm);

    parking_percentage.set(parking_percentage.clamp(settings.parkingPercentage));
    sink.selectComboEntry(parking_percentage, parking_percentage.get());

    setAndCheck(AUTO_RANGE, settings.autoRange);
    sink.enable(RANGE, !settings.autoRange);
    sink.enable(AR_ABOVE_HEIGHT, settings.autoRange);

    setAndCheck(INITIAL_LOAD_ONLY, settings.initialLoadOnly);
    setAndCheck(PARK_SOFT, settings.parkSoft);
    setAndCheck(WEEK, settings.week);
    // Only now: a whole-file write during the restore still takes every one of the eight from the snapshot.
    releaseUserSettings();
}

} // namespace zeph
