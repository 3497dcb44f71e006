#include "support/recording_control_sink.h"

#include <fmt/format.h>

namespace zeph::test {

RecordingControlSink::RecordingControlSink() { setControlSink(this); }

RecordingControlSink::~RecordingControlSink() { setControlSink(nullptr); }

void RecordingControlSink::setCheck(const CheckBoxParameter& parameter) {
    record("setCheck " + parameter.key + " " + boolText(parameter.get()));
}

void RecordingControlSink::showComboValue(const ComboParameter<std::int32_t>& parameter) {
    record("showComboValue " + parameter.key + " " + std::to_string(parameter.get()));
}

void RecordingControlSink::selectComboEntry(const ComboParameter<std::int32_t>& parameter,
                                            std::int32_t value) {
    record("selectComboEntry " + parameter.key + " " + std::to_string(value));
}

void RecordingControlSink::selectComboEntry(const ComboParameter<float>& parameter, float value) {
    record(fmt::format("selectComboEntry {} {:.1F}", parameter.key, value));
}

void RecordingControlSink::showEditValue(const EditParameter& parameter) {
    record("showEditValue " + parameter.key + " " + parameter.get());
}

void RecordingControlSink::enable(const ParameterControl& control, bool enabled) {
    record("enable " + controlName(control) + " " + boolText(enabled));
}

void RecordingControlSink::showEnabled(const ParameterControl& control, bool enabled) {
    record("showEnabled " + controlName(control) + " " + boolText(enabled));
}

void RecordingControlSink::selectMaxFitCombo() { record("selectMaxFitCombo"); }

} // namespace zeph::test
