#include "support/recording_control_sink.h"

#include <algorithm>

namespace zeph::test {

namespace {

std::string boolText(bool value) { return value ? "true" : "false"; }

// A control is named by its parameter's key, or by its id when it belongs to no parameter.
std::string controlName(const ParameterControl& control) {
    if (const auto* parameter = dynamic_cast<const Parameter*>(&control)) {
        return parameter->key;
    }
    return "#" + std::to_string(control.controlId);
}

} // namespace

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

void RecordingControlSink::showEditValue(const EditParameter& parameter) {
    record("showEditValue " + parameter.key + " " + parameter.get());
}

void RecordingControlSink::enable(const ParameterControl& control, bool enabled) {
    record("enable " + controlName(control) + " " + boolText(enabled));
}

void RecordingControlSink::selectMaxFitCombo() { record("selectMaxFitCombo"); }

std::vector<std::string> RecordingControlSink::calls() const {
    std::lock_guard lock(mutex_);
    return calls_;
}

std::size_t RecordingControlSink::count(std::string_view kind) const {
    std::lock_guard lock(mutex_);
    return static_cast<std::size_t>(std::count_if(calls_.begin(), calls_.end(), [&](const std::string& call) {
        return call.substr(0, call.find(' ')) == kind;
    }));
}

void RecordingControlSink::clear() {
    std::lock_guard lock(mutex_);
    calls_.clear();
}

void RecordingControlSink::record(std::string call) {
    std::lock_guard lock(mutex_);
    calls_.push_back(std::move(call));
}

} // namespace zeph::test
