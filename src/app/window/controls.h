#pragma once
#include <cstdint>
#include <string>

#include "app/window/ui.h"
#include "settings/control_sink.h"
#include "settings/parameter.h"
#include "state/window_port.h"

// The main window's 39 controls, each bound to its parameter object: the factories, the table of where each
// one sits, the filling from the parameters at the start of every run, and the small operations with which
// every thread writes a value into a control or enables one. The operations queue their work in the window
// layer, so any thread may call them; the factories run on the GUI thread during Msg::Create.

namespace zeph {

// The factories. Each stores the control's handle in its parameter's control part.
// A push button labelled with its key, height 20, disabled.
WindowHandle gf_createButton(Button& button, WindowHandle parent, int x, int width);
// A 12 x 12 check box two pixels below the row, showing the parameter's value, enabled.
WindowHandle gf_createCheckBox(CheckBoxParameter& box, WindowHandle parent, int x);
// An edit field of height 16 whose keys go to hook first (param: the parameter), empty and disabled.
WindowHandle gf_createEdit(EditParameter& edit, WindowHandle parent, int x, int width, EditHook hook);

// Msg::Create: makes every control in the table's order, then asks for a repaint of the settings area.
void lf_createControls(WindowHandle window);

// The start of every run, after parameters.xml has been read: enabled states, fillings and selections of all
// controls from the current values.
void lf_initControlsFromParameters();

// Empties the combo and adds every choice as decimal text; the entry equal to the current value is selected,
// none when the value is not a choice. Nothing when the combo does not exist.
void gf_fillIntCombo(const ComboParameter<std::int32_t>& combo);

// Shows the current value in the parameter's control, found by its id in the window that received the
// latest message, and repaints the settings area. An unknown id or a text that is not UTF-8 is logged and the
// control keeps its text.
void gf_setItemText(const ComboParameter<std::int32_t>& parameter);
void gf_setItemText(const EditParameter& parameter);

// Sets, saves and shows the box's value.
void gf_setCheckBox(CheckBoxParameter& box, bool value);

// A stored window position at an end of its range is not kept: each coordinate that stands at its minimum or
// maximum becomes the given one (clamped) and is saved.
void lf_fixWindowPosition(std::int32_t x, std::int32_t y);

// The settings' way to the controls, over the window layer. Never blocks: every change is queued.
class WindowControlSink final : public ControlSink {
public:
    void setCheck(const CheckBoxParameter& parameter) override;
    void showComboValue(const ComboParameter<std::int32_t>& parameter) override;
    void selectComboEntry(const ComboParameter<std::int32_t>& parameter, std::int32_t value) override;
    void selectComboEntry(const ComboParameter<float>& parameter, float value) override;
    void showEditValue(const EditParameter& parameter) override;
    void enable(const ParameterControl& control, bool enabled) override;
    void showEnabled(const ParameterControl& control, bool enabled) override;
    void selectMaxFitCombo() override;
};

// The one program-wide sink, for setControlSink.
WindowControlSink& windowControlSink();

// The window calls of the code below the shell (gf_enableControl, gf_fillCallsignCombo, …), over the window
// layer. Never blocks: every change is queued.
class MainWindowPort final : public WindowPort {
public:
    void enableControl(const ParameterControl& control, bool enabled) override;
    void enableStaticParkingGroup(bool enabled) override;
    void fillCallsignCombo() override;
    void selectMaxFitCombo() override;
    WindowHandle controlById(ControlId id) override;
    void invalidate(const Rect& area) override;
    void messageBox(std::string text, std::string caption) override;
};

// The one program-wide port, for setWindowPort.
MainWindowPort& mainWindowPort();

} // namespace zeph
