#include "app/window/controls.h"

#include <algorithm>
#include <array>
#include <exception>
#include <mutex>
#include <string>
#include <vector>

#include <fmt/format.h>

#include "app/entry_point.h"
#include "app/window/edit_controls.h"
#include "core/log.h"
#include "core/program.h"
#include "core/text_convert.h"
#include "settings/max_fit_hours.h"
#include "settings/parameter_table.h"
#include "state/main_window_state.h"
#include "state/window_port.h"

namespace zeph {

namespace {

// One control of the main window: what it shows, where it sits (the row comes from the parameter), and for
// an edit field the hook that sees its keys first. A combo's height includes its drop-down list.
struct ControlRow {
    ControlKind kind;
    ParameterControl* control;
    int x;
    int width;
    int height;
    EditHook hook = nullptr;
};

ControlRow button(Button& target, int x, int width) {
    return {ControlKind::PushButton, &target, x, width, 20};
}
ControlRow checkBox(CheckBoxParameter& target, int x) { return {ControlKind::CheckBox, &target, x, 12, 12}; }
ControlRow edit(EditParameter& target, int x, int width, EditHook hook) {
    return {ControlKind::Edit, &target, x, width, 16, hook};
}
ControlRow combo(ParameterControl& target, int x, int width, int height) {
    return {ControlKind::DropDownList, &target, x, width, height};
}

// In the order the controls are made, which is also the order of the keyboard focus.
const std::array<ControlRow, 39>& controlTable() {
    static const std::array<ControlRow, 39> rows{{
        edit(ALL_INSTALL_PATH, 111, 1200, lf_installPathEditProc),
        checkBox(SCAN_LIVERIES, 5),
        checkBox(LIG_PRIORITIZE, 536),
        checkBox(ALWAYS_ON_TOP, 748),
        checkBox(SCAN_AIRPORTS, 5),
        button(tbloButton, 217, 60),
        checkBox(NAV_LIGHTS_WHILE_PARKED, 748),
        combo(MATCHING_DEPTH, 217, 40, 120),
        checkBox(LIGHT_AIRCRAFT, 323),
        checkBox(HELICOPTERS, 430),
        checkBox(HIGH_PERF_AIRCRAFT, 536),
        checkBox(AEROWINX, 652),
        checkBox(GUID_CHANGES, 748),
        combo(RANGE, 217, 50, 200),
        checkBox(AUTO_RANGE, 323),
        combo(AR_ABOVE_HEIGHT, 455, 70, 230),
        checkBox(AIRBORNE_ONLY, 572),
        checkBox(COLLISION_USER_GND, 217),
        checkBox(COLLISION_USER_AIR, 323),
        checkBox(COLLISION_LIVE_PARKED_GND, 430),
        edit(BLOCK_CALLSIGN, 107, 100, lf_blockCallsignEditProc),
        button(unblockButton, 223, 60),
        button(csToOidButton, 305, 60),
        combo(CALLSIGN_2_OBJECTID, 375, 100, 300),
        button(blockButton, 576, 60),
        button(nowButton, 111, 45),
        combo(MAX_PARK_SEL, 323, 55, 144),
        combo(MAX_LIVE_SEL, 536, 55, 144),
        edit(DESTINATION, 217, 50, lf_destinationEditProc),
        combo(AIRP_RANGE, 353, 45, 144),
        combo(AIRP_HEIGHT, 566, 70, 230),
        checkBox(STRAIGHT_PBS_ONLY, 652),
        checkBox(INITIAL_LOAD_ONLY, 5),
        checkBox(WEEK, 71),
        checkBox(PARK_SOFT, 151),
        combo(parking_percentage, 323, 50, 200),
        combo(MAX_FIT_FL, 566, 60, 300),
        button(rereadButton, 758, 90),
        button(flushStaticButton, 758, 90),
    }};
    return rows;
}

// The control of a parameter, looked up by id in the main window: the lookup is safe on any thread, where the
// handle field belongs to the GUI thread. Null before the window exists.
WindowHandle controlOf(const ParameterControl& control) {
    return mainWindowPort().controlById(control.controlId);
}

void enableControl(const ParameterControl& control, bool enabled) {
    if (&control == &nowButton) {
        mainWindowState.nowButtonEnabled.store(enabled, std::memory_order_relaxed);
    }
    if (const WindowHandle handle = controlOf(control)) {
        ui().enable(handle, enabled);
    }
}

template <class T> int choiceIndex(const std::vector<T>& choices, T value) {
    const auto found = std::find(choices.begin(), choices.end(), value);
    return found == choices.end() ? -1 : static_cast<int>(found - choices.begin());
}

// Selects the entry of value when there is one; the selection stays otherwise.
template <class T> void selectEqualEntry(const ComboParameter<T>& parameter, T value) {
    const int index = choiceIndex(parameter.choices, value);
    const WindowHandle handle = controlOf(parameter);
    if (index >= 0 && handle != nullptr) {
        ui().comboSetSelection(handle, index);
    }
}

void fillMaxFitCombo() {
    const WindowHandle handle = controlOf(MAX_FIT_FL);
    if (handle == nullptr) {
        return;
    }
    ui().comboReset(handle);
    for (float hours : MAX_FIT_FL.choices) {
        ui().comboAdd(handle, fmt::format("{:.1f}", hours));
    }
    selectEqualEntry(MAX_FIT_FL, MAX_FIT_FL.get());
}

// The members of the static-parking group; "Now" belongs to it only while renewals run every 20 minutes.
std::vector<const ParameterControl*> staticParkingGroup() {
    std::vector<const ParameterControl*> group{&parking_percentage, &WEEK,         &PARK_SOFT,
                                               &MAX_FIT_FL,         &MAX_PARK_SEL, &MAX_LIVE_SEL,
                                               &flushStaticButton,  &rereadButton};
    if (!INITIAL_LOAD_ONLY.get()) {
        group.push_back(&nowButton);
    }
    return group;
}

void enableStaticParkingGroup(bool enabled) {
    for (const ParameterControl* control : staticParkingGroup()) {
        enableControl(*control, enabled);
    }
}

void setItemText(ControlId id, const std::string& text) {
    try {
        (void)utf8_to_wide(text);
    } catch (const std::exception& error) {
        gf_logText(fmt::format("utf8_to_wide failed for '{}': {}", text, error.what()));
        return;
    }
    const WindowHandle item = ui().controlById(lastMessageWindow.load(), id);
    if (item == nullptr) {
        gf_logText(fmt::format("GetDlgItem failed for ID {}", id));
        return;
    }
    ui().setText(item, text);
    mainWindowState.invalidateArea(settingsArea);
}

void fixCoordinate(NumParameter<std::int32_t>& coordinate, std::int32_t replacement) {
    const std::int32_t value = coordinate.get();
    if (value == coordinate.min || value == coordinate.max) {
        coordinate.set(coordinate.clamp(replacement));
    }
}

// --- lf_initControlsFromParameters, in its steps ---

void enableAll(std::initializer_list<const ParameterControl*> controls, bool enabled) {
    for (const ParameterControl* control : controls) {
        enableControl(*control, enabled);
    }
}

void enableAndFill(ComboParameter<std::int32_t>& combo, bool enabled) {
    enableControl(combo, enabled);
    gf_fillIntCombo(combo);
}

void initScanAndTypeControls() {
    enableAll({&ALWAYS_ON_TOP, &NAV_LIGHTS_WHILE_PARKED, &GUID_CHANGES, &SCAN_LIVERIES, &LIG_PRIORITIZE,
               &SCAN_AIRPORTS},
              true);
    enableControl(tbloButton, false);
    enableAndFill(MATCHING_DEPTH, true);
    enableAll({&LIGHT_AIRCRAFT, &HELICOPTERS, &HIGH_PERF_AIRCRAFT}, true);
}

void initRangeAndBlockingControls() {
    const bool autoRange = AUTO_RANGE.get();
    enableAndFill(RANGE, !autoRange);
    enableControl(AUTO_RANGE, true);
    enableAndFill(AR_ABOVE_HEIGHT, autoRange);
    enableAll({&AIRBORNE_ONLY, &COLLISION_USER_GND, &COLLISION_USER_AIR, &COLLISION_LIVE_PARKED_GND}, true);

    enableControl(blockButton, false);
    enableControl(BLOCK_CALLSIGN, true);
    enableControl(unblockButton, !BLOCK_CALLSIGN.get().empty());
    if (!INITIAL_LOAD_ONLY.get()) {
        enableControl(nowButton, false);
    }
}

void initParkingControls() {
    enableAndFill(MAX_PARK_SEL, true);
    enableAndFill(MAX_LIVE_SEL, true);
    enableControl(STRAIGHT_PBS_ONLY, true);
    enableAll({&csToOidButton, &CALLSIGN_2_OBJECTID}, false);
    simulatorKind.store(3);
    enableControl(DESTINATION, false);
    enableAndFill(AIRP_RANGE, true);
    enableAndFill(AIRP_HEIGHT, true);
    enableControl(rereadButton, false);

    // The share of stands with static aircraft is fixed for now: shown, not offered, and not saved.
    gf_fillIntCombo(parking_percentage);
    enableControl(parking_percentage, false);
    parking_percentage.setValue(30);
    selectEqualEntry(parking_percentage, 30);

    fillMaxFitCombo();
    gf_selectMaxFitCombo();
    enableControl(MAX_FIT_FL, false);

    enableAll({&WEEK, &PARK_SOFT}, true);
    enableControl(flushStaticButton, false);
    enableControl(INITIAL_LOAD_ONLY, true);
}

} // namespace

// --- factories ---

WindowHandle gf_createButton(Button& button, WindowHandle parent, int x, int width) {
    const WindowHandle handle = ui().createControl(parent, ControlKind::PushButton, button.controlId,
                                                   button.key, Rect::fromSize(x, button.row, width, 20));
    button.handle = handle;
    ui().enable(handle, false);
    return handle;
}

WindowHandle gf_createCheckBox(CheckBoxParameter& box, WindowHandle parent, int x) {
    const WindowHandle handle = ui().createControl(parent, ControlKind::CheckBox, box.controlId, "",
                                                   Rect::fromSize(x, box.row + 2, 12, 12));
    box.handle = handle;
    ui().setCheck(handle, box.get());
    return handle;
}

// The layer keeps the field's own handling behind the hook (callPrevious), so prevProc stays 0.
WindowHandle gf_createEdit(EditParameter& edit, WindowHandle parent, int x, int width, EditHook hook) {
    const WindowHandle handle = ui().createControl(parent, ControlKind::Edit, edit.controlId, "",
                                                   Rect::fromSize(x, edit.row, width, 16));
    edit.handle = handle;
    ui().subclassEdit(handle, hook, &edit);
    ui().enable(handle, false);
    return handle;
}

void lf_createControls(WindowHandle window) {
    for (const ControlRow& row : controlTable()) {
        ParameterControl& control = *row.control;
        switch (row.kind) {
        case ControlKind::PushButton:
            gf_createButton(dynamic_cast<Button&>(control), window, row.x, row.width);
            break;
        case ControlKind::CheckBox:
            gf_createCheckBox(dynamic_cast<CheckBoxParameter&>(control), window, row.x);
            break;
        case ControlKind::Edit:
            gf_createEdit(dynamic_cast<EditParameter&>(control), window, row.x, row.width, row.hook);
            break;
        case ControlKind::DropDownList:
            control.handle =
                ui().createControl(window, ControlKind::DropDownList, control.controlId, "",
                                   Rect::fromSize(row.x, control.row - 5, row.width, row.height));
            break;
        }
    }
    ui().invalidate(window, &settingsArea);
}

void lf_initControlsFromParameters() {
    initScanAndTypeControls();
    initRangeAndBlockingControls();
    initParkingControls();
}

// --- operations for every thread ---

void gf_fillIntCombo(const ComboParameter<std::int32_t>& combo) {
    const WindowHandle handle = controlOf(combo);
    if (handle == nullptr) {
        return;
    }
    ui().comboReset(handle);
    for (std::int32_t choice : combo.choices) {
        ui().comboAdd(handle, std::to_string(choice));
    }
    selectEqualEntry(combo, combo.get());
}

void gf_setItemText(const ComboParameter<std::int32_t>& parameter) {
    setItemText(parameter.controlId, std::to_string(parameter.get()));
}

void gf_setItemText(const EditParameter& parameter) { setItemText(parameter.controlId, parameter.get()); }

void gf_setCheckBox(CheckBoxParameter& box, bool value) {
    box.set(value);
    if (const WindowHandle handle = controlOf(box)) {
        ui().setCheck(handle, value);
    }
}

void lf_fixWindowPosition(std::int32_t x, std::int32_t y) {
    fixCoordinate(MAIN_WINDOW_X, x);
    fixCoordinate(MAIN_WINDOW_Y, y);
}

// --- the port of the code below the shell ---

void MainWindowPort::enableControl(const ParameterControl& control, bool enabled) {
    zeph::enableControl(control, enabled);
}

void MainWindowPort::enableStaticParkingGroup(bool enabled) { zeph::enableStaticParkingGroup(enabled); }

void MainWindowPort::fillCallsignCombo() {
    const WindowHandle handle = controlOf(CALLSIGN_2_OBJECTID);
    if (handle == nullptr) {
        return;
    }
    std::vector<std::string> callsigns;
    {
        const std::lock_guard lock(callsignListMutex);
        callsigns = *CALLSIGN_2_OBJECTID.callsigns;
    }
    ui().comboReset(handle);
    for (std::string& callsign : callsigns) {
        ui().comboAdd(handle, std::move(callsign));
    }
    ui().comboSelectPrefix(handle, CALLSIGN_2_OBJECTID.get());
}

void MainWindowPort::selectMaxFitCombo() {
    const float hours = lf_maxFitHours(MAX_FIT.get());
    MAX_FIT_FL.setValue(hours);
    selectEqualEntry(MAX_FIT_FL, hours);
}

WindowHandle MainWindowPort::controlById(ControlId id) {
    const WindowHandle window = mainWindowState.mainWindow.load();
    return window != nullptr ? ui().controlById(window, id) : nullptr;
}

void MainWindowPort::invalidate(const Rect& area) {
    if (const WindowHandle window = mainWindowState.mainWindow.load()) {
        ui().invalidate(window, &area);
    }
}

void MainWindowPort::messageBox(std::string text, std::string caption) {
    ui().messageBox(std::move(text), std::move(caption), Icon::Exclamation);
}

MainWindowPort& mainWindowPort() {
    static MainWindowPort port;
    return port;
}

// --- the settings' sink ---

// "Now" cannot renew while INITIAL_LOAD_ONLY is on, however the box got ticked (a static flush, an airport's
// settings, a restore, parameters.xml): it looks disabled then, and as the program left it once unticked.
void WindowControlSink::setCheck(const CheckBoxParameter& parameter) {
    if (const WindowHandle handle = controlOf(parameter)) {
        ui().setCheck(handle, parameter.get());
    }
    if (&parameter == &INITIAL_LOAD_ONLY) {
        showEnabled(nowButton, !parameter.get() && mainWindowState.nowButtonEnabled.load());
    }
}

void WindowControlSink::showComboValue(const ComboParameter<std::int32_t>& parameter) {
    const WindowHandle handle = controlOf(parameter);
    if (handle != nullptr) {
        ui().comboSetSelection(handle, choiceIndex(parameter.choices, parameter.get()));
    }
}

void WindowControlSink::selectComboEntry(const ComboParameter<std::int32_t>& parameter, std::int32_t value) {
    selectEqualEntry(parameter, value);
}

void WindowControlSink::selectComboEntry(const ComboParameter<float>& parameter, float value) {
    selectEqualEntry(parameter, value);
}

void WindowControlSink::showEditValue(const EditParameter& parameter) {
    if (const WindowHandle handle = controlOf(parameter)) {
        ui().setText(handle, parameter.get());
    }
}

void WindowControlSink::enable(const ParameterControl& control, bool enabled) {
    enableControl(control, enabled);
}

void WindowControlSink::showEnabled(const ParameterControl& control, bool enabled) {
    if (const WindowHandle handle = controlOf(control)) {
        ui().enable(handle, enabled);
    }
}

void WindowControlSink::selectMaxFitCombo() { gf_selectMaxFitCombo(); }

WindowControlSink& windowControlSink() {
    static WindowControlSink sink;
    return sink;
}

} // namespace zeph
