#include "app/window/control_handlers.h"

#include <array>
#include <cmath>
#include <exception>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include <fmt/format.h>
#include <gsl/narrow>

#include "aircraft/matching_tables.h"
#include "airports/auto_range.h"
#include "app/window/controls.h"
#include "app/window/edit_controls.h"
#include "core/files.h"
#include "core/log.h"
#include "core/program.h"
#include "core/strings.h"
#include "realtraffic/rt_server.h"
#include "settings/control_sink.h"
#include "settings/data_tree.h"
#include "settings/parameter_table.h"
#include "settings/range.h"
#include "state/exit_reason.h"
#include "state/main_window_state.h"
#include "state/run_state.h"
#include "state/status_line.h"
#include "traffic/live_table_services.h"

namespace zeph {

namespace {

bool isEnabled(WindowHandle window, const ParameterControl& control) {
    const WindowHandle handle = ui().controlById(window, control.controlId);
    return handle != nullptr && ui().isEnabled(handle);
}

// --- buttons ---

void unblock(WindowHandle) {
    if (BLOCK_CALLSIGN.get().empty()) {
        gf_setStatus("Nothing to block or unblock...", false);
    } else {
        lf_unblockCallsign();
    }
    controlSink().enable(blockButton, !CALLSIGN_2_OBJECTID.get().empty());
}

void askForCallsignList(WindowHandle) {
    callsignListRequest.store(true);
    controlSink().enable(blockButton, false);
}

void blockChosenCallsign(WindowHandle) {
    lf_blockCallsign(CALLSIGN_2_OBJECTID.get());
    lf_resetCallsignList();
    controlSink().enable(blockButton, false);
}

void askForReread(WindowHandle) {
    rereadRequest.store(true);
    controlSink().enable(rereadButton, false);
    controlSink().enable(DESTINATION, false);
}

void askForStaticFlush(WindowHandle) {
    gf_setStatus("All static parked aircraft will be removed ...", false);
    flushStaticRequest.store(true);
    controlSink().enable(flushStaticButton, false);
}

void renewNow(WindowHandle) {
    if (!parkAirportLoaded.load()) {
        return;
    }
    if (INITIAL_LOAD_ONLY.get()) {
        gf_clearStatus();
        return;
    }
    lf_renewStaticParkingSoon();
    setRenewalCountdown(20);
}

// The only button whose answer is not always "handled": the opener's result.
bool openTbloFolder() {
    if (gf_openContainingFolder(std::filesystem::current_path() / tbloZipName)) {
        return true;
    }
    ui().messageBox("Could not open File Explorer at tblo.zip.", "Corvane", Icon::Exclamation);
    return false;
}

struct ButtonRow {
    const Button* button;
    void (*action)(WindowHandle window);
};

// In the order they are tested; "tblo" is handled apart because it answers with the opener's result.
const std::array<ButtonRow, 6> buttonRows{{
    {&unblockButton, unblock},
    {&csToOidButton, askForCallsignList},
    {&blockButton, blockChosenCallsign},
    {&rereadButton, askForReread},
    {&flushStaticButton, askForStaticFlush},
    {&nowButton, renewNow},
}};

// --- check boxes ---

void invalidateSettings(WindowHandle window, bool) { ui().invalidate(window, &settingsArea); }

void followInitialLoadOnly(WindowHandle window, bool ticked) {
    // The user's own choice at the airport is the airport's, whatever a flush did before.
    initialLoadOnlyByFlush.store(false);
    controlSink().enable(nowButton, !ticked);
    invalidateSettings(window, ticked);
}

void followAlwaysOnTop(WindowHandle window, bool ticked) {
    ui().setTopmost(window, ticked);
    invalidateSettings(window, ticked);
}

void followAutoRange(WindowHandle, bool ticked) {
    controlSink().enable(AR_ABOVE_HEIGHT, ticked);
    lf_applyAutoRange();
}

void requestNavLights(WindowHandle, bool) { navLightsChanged.store(true); }

// Before RealTraffic has connected a scan can still be made in this process: the run restarts for it.
void scanAtOnceOrNextStart(bool liveries) {
    const std::string_view what = liveries ? "liveries" : "airports";
    if (!realTrafficAwaited.load()) {
        gf_setStatus(fmt::format("Your {} will be scanned at the next start of {}", what, programId), false);
        return;
    }
    if (liveries) {
        gf_resetLiveryTables();
    }
    gf_setStatus(fmt::format("Your {} will be scanned", what), true);
    gf_setExitReason(ExitReason::NEW_SETTINGS, 2);
}

void followScanLiveries(WindowHandle window, bool ticked) {
    liveryScanAsked.store(ticked);
    if (ticked) {
        scanAtOnceOrNextStart(true);
    }
    invalidateSettings(window, ticked);
}

void followScanAirports(WindowHandle window, bool ticked) {
    airportScanAsked.store(ticked);
    if (ticked) {
        scanAtOnceOrNextStart(false);
    }
    invalidateSettings(window, ticked);
}

// What the status line does after a flip: nothing, clear (an empty text), or a note (shown, not logged).
// The scan boxes give their own texts when ticked.
using StatusReaction = std::optional<std::string>;
const StatusReaction nothing = std::nullopt;
const StatusReaction clear = std::string();

struct CheckBoxRow {
    CheckBoxParameter* box;
    StatusReaction whenTicked;
    StatusReaction whenUnticked;
    void (*after)(WindowHandle window, bool ticked) = nullptr;
    bool handled = true;
};

const std::vector<CheckBoxRow>& checkBoxRows() {
    static const std::vector<CheckBoxRow> rows{
        {&LIG_PRIORITIZE,
         "Liveries, for airl+model, in lower lfolders that are already available will be skipped", clear},
        {&COLLISION_LIVE_PARKED_GND, clear,
         "Be aware, live aircraft may collide with (run through) static parked on the ground"},
        {&COLLISION_USER_GND, clear,
         "Be aware, user aircraft may collide with (run through) live aircraft and static parked on the "
         "ground"},
        {&COLLISION_USER_AIR, clear,
         "Be aware, user aircraft may collide with (run through) live aircraft in the air"},
        {&INITIAL_LOAD_ONLY,
         fmt::format(
             "Initial Load Only: static parked aircraft are generated once, no renewal every {} minutes", 20),
         clear, followInitialLoadOnly},
        {&ALWAYS_ON_TOP, fmt::format("{}'s window will remain visible", programId), clear, followAlwaysOnTop},
        {&GUID_CHANGES, clear,
         "Be aware, no more livery updates: you miss correct data for Learn, LittleNavMap, etc!",
         invalidateSettings},
        {&AEROWINX,
         fmt::format(
             "AEROWINX mode is meant for users of the Aerowinx flight-deck simulator only, please restart {}",
             programId),
         clear},
        {&AUTO_RANGE, nothing, nothing, followAutoRange},
        {&SCAN_AIRPORTS, nothing, clear, followScanAirports},
        {&PARK_SOFT, nothing, nothing},
        {&WEEK, nothing, nothing},
        {&NAV_LIGHTS_WHILE_PARKED, nothing, nothing, requestNavLights, false},
        {&STRAIGHT_PBS_ONLY, nothing, nothing},
        {&LIGHT_AIRCRAFT, nothing, nothing},
        {&HELICOPTERS, nothing, nothing},
        {&HIGH_PERF_AIRCRAFT, nothing, nothing},
        {&AIRBORNE_ONLY, "Be aware, airborne live traffic only!  (greater than 300 ft above ground ...)",
         clear, invalidateSettings},
        {&SCAN_LIVERIES, nothing, clear, followScanLiveries},
    };
    return rows;
}

void showReaction(const StatusReaction& reaction) {
    if (!reaction) {
        return;
    }
    if (reaction->empty()) {
        gf_clearStatus();
    } else {
        gf_setStatus(*reaction, false);
    }
}

// --- combo boxes ---

std::int32_t chosenValue(const ComboParameter<std::int32_t>& combo, const ComboSelection& selection) {
    return combo.clamp(combo.choices.at(static_cast<std::size_t>(selection.index)));
}

void takeCallsign(WindowHandle window, const ComboSelection& selection) {
    if (selection.text == CALLSIGN_2_OBJECTID.get()) {
        return;
    }
    CALLSIGN_2_OBJECTID.setValue(selection.text);
    ui().invalidate(window, &settingsArea);
    controlSink().enable(blockButton, !isEnabled(window, unblockButton));
}

void storeChoice(ComboParameter<std::int32_t>& combo, const ComboSelection& selection) {
    combo.set(chosenValue(combo, selection));
}

void takeMatchingDepth(WindowHandle, const ComboSelection& selection) {
    const std::int32_t old = MATCHING_DEPTH.get();
    storeChoice(MATCHING_DEPTH, selection);
    if (MATCHING_DEPTH.get() > old) {
        matchingDepthRaised.store(true);
    }
}

void takeRange(WindowHandle, const ComboSelection& selection) {
    storeChoice(RANGE, selection);
    gf_setRange(RANGE.get());
}

// MAX_FIT_FL only shows MAX_FIT in hours: the half hours are what is stored.
void takeMaxFitHours(WindowHandle, const ComboSelection& selection) {
    const float hours = MAX_FIT_FL.choices.at(static_cast<std::size_t>(selection.index));
    MAX_FIT_FL.setValue(hours);
    MAX_FIT.set(MAX_FIT.clamp(gsl::narrow<std::int32_t>(std::round(2.0 * hours)) - 1));
}

void takeMaxLiveSel(WindowHandle, const ComboSelection& selection) {
    storeChoice(MAX_LIVE_SEL, selection);
    maxLiveSelChanged.store(true);
}

struct ComboRow {
    const ParameterControl* control;
    ComboParameter<std::int32_t>* plain; // stored as it is chosen, nothing more
    void (*take)(WindowHandle window, const ComboSelection& selection) = nullptr;
};

const std::array<ComboRow, 10> comboRows{{
    {&CALLSIGN_2_OBJECTID, nullptr, takeCallsign},
    {&MATCHING_DEPTH, nullptr, takeMatchingDepth},
    {&MAX_PARK_SEL, &MAX_PARK_SEL},
    {&parking_percentage, &parking_percentage},
    {&RANGE, nullptr, takeRange},
    {&AIRP_RANGE, &AIRP_RANGE},
    {&AR_ABOVE_HEIGHT, &AR_ABOVE_HEIGHT},
    {&AIRP_HEIGHT, &AIRP_HEIGHT},
    {&MAX_FIT_FL, nullptr, takeMaxFitHours},
    {&MAX_LIVE_SEL, nullptr, takeMaxLiveSel},
}};

} // namespace

bool lf_HandleWMCOMMAND(WindowHandle window, std::uintptr_t wParam) {
    try {
        const ControlId id = loWord(wParam);
        if (lf_handleButtons(window, id) || lf_handleCheckBoxes(window, id) ||
            lf_handleComboBoxes(window, wParam)) {
            return true;
        }
    } catch (const std::exception& error) {
        gf_logLine(fmt::format("{} exception {}", "lf_HandleWMCOMMAND", error.what()));
    }
    ui().invalidate(window, &settingsArea);
    return false;
}

// A push button never reads checked, so every click acts: the read-and-flip of the check state is left out.
bool lf_handleButtons(WindowHandle window, ControlId id) {
    if (id == tbloButton.controlId) {
        return openTbloFolder();
    }
    for (const ButtonRow& row : buttonRows) {
        if (row.button->controlId == id) {
            row.action(window);
            return true;
        }
    }
    return false;
}

bool lf_handleCheckBoxes(WindowHandle window, ControlId id) {
    for (const CheckBoxRow& row : checkBoxRows()) {
        if (row.box->controlId != id) {
            continue;
        }
        const WindowHandle handle = ui().controlById(window, id);
        const bool ticked = !(handle != nullptr && ui().isChecked(handle));
        if (handle != nullptr) {
            ui().setCheck(handle, ticked);
        }
        row.box->set(ticked);
        showReaction(ticked ? row.whenTicked : row.whenUnticked);
        if (row.after != nullptr) {
            row.after(window, ticked);
        }
        return row.handled;
    }
    return false;
}

bool lf_handleComboBoxes(WindowHandle window, std::uintptr_t wParam) {
    for (const ComboRow& row : comboRows) {
        const ComboSelection selection = lf_getComboSelection(window, row.control->controlId, wParam);
        if (!selection.valid) {
            continue;
        }
        if (row.plain != nullptr) {
            storeChoice(*row.plain, selection);
        } else {
            row.take(window, selection);
        }
        return true;
    }
    return false;
}

ComboSelection lf_getComboSelection(WindowHandle window, ControlId id, std::uintptr_t wParam) {
    if (loWord(wParam) != id || hiWord(wParam) != Notify::SelChange) {
        return {};
    }
    const WindowHandle combo = ui().controlById(window, id);
    if (combo == nullptr) {
        return {};
    }
    const int index = ui().comboSelection(combo);
    if (index == -1) {
        return {};
    }
    std::optional<std::string> text = ui().comboText(combo, index);
    if (!text) {
        return {};
    }
    return ComboSelection{index, std::move(*text), true};
}

// The renewal starts at the next multiple of 15 seconds of the main loop: 1 to 15 seconds from now.
void lf_renewStaticParkingSoon() {
    gf_disableControls();
    const std::int32_t s = secondsCounter.load();
    const std::int32_t wait = (s / 15 + 1) * 15 - s;
    if (wait > 0) {
        gf_setStatus(
            fmt::format("{} will update static parking in {} second{} ...", programId, wait, gf_plural(wait)),
            false);
    }
    staticRenewNow.store(true);
}

} // namespace zeph
