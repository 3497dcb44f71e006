#include "support/recording_window_port.h"

#include <fmt/format.h>

namespace zeph::test {

void RecordingWindowPort::enableControl(const ParameterControl& control, bool enabled) {
    log_.record("enableControl " + controlName(control) + " " + boolText(enabled));
}

void RecordingWindowPort::enableStaticParkingGroup(bool enabled) {
    log_.record("enableStaticParkingGroup " + boolText(enabled));
}

void RecordingWindowPort::fillCallsignCombo() { log_.record("fillCallsignCombo"); }

void RecordingWindowPort::selectMaxFitCombo() { log_.record("selectMaxFitCombo"); }

WindowHandle RecordingWindowPort::controlById(ControlId id) {
    log_.record(fmt::format("controlById {}", id));
    return nullptr;
}

void RecordingWindowPort::invalidate(const Rect& area) {
    log_.record(fmt::format("invalidate {} {} {} {}", area.left, area.top, area.right, area.bottom));
}

void RecordingWindowPort::messageBox(std::string text, std::string caption) {
    log_.record(fmt::format("messageBox {}|{}", text, caption));
}

} // namespace zeph::test
