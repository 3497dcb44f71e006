#pragma once
#include <cstdint>

#include "settings/parameter.h"

namespace zeph {

// The window's side of the settings: how a changed value reaches its control. Settings may call these while
// holding parametersFileMutex, so an implementation never blocks: it posts to the window layer's queue and
// the GUI thread does the work.
class ControlSink {
public:
    virtual ~ControlSink() = default;

    // The check mark follows the current value.
    virtual void setCheck(const CheckBoxParameter& parameter) = 0;
    // The combo shows the current value; no entry is selected when the value is not one of the choices.
    virtual void showComboValue(const ComboParameter<std::int32_t>& parameter) = 0;
    // Selects the first entry equal to value; the selection stays as it is when none is.
    virtual void selectComboEntry(const ComboParameter<std::int32_t>& parameter, std::int32_t value) = 0;
    // The edit field shows the current value.
    // The same for a combo of hours.
    virtual void selectComboEntry(const ComboParameter<float>& parameter, float value) = 0;
    virtual void showEditValue(const EditParameter& parameter) = 0;
    virtual void enable(const ParameterControl& control, bool enabled) = 0;
    // Only the control's look: an airport file's state of a button, which the program's own state of it
    // (as enable records it) does not follow.
    virtual void showEnabled(const ParameterControl& control, bool enabled) = 0;
    // MAX_FIT_FL takes its hours from MAX_FIT and selects them in its combo.
    virtual void selectMaxFitCombo() = 0;
};

// Installs the window's sink; nullptr (the start) ignores every call, as controls that do not exist yet
// would. The sink must outlive every call made through it.
void setControlSink(ControlSink* sink);

// The installed sink, or one that does nothing.
ControlSink& controlSink();

} // namespace zeph
