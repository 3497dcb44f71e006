#pragma once
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "settings/control_sink.h"
#include "support/call_log.h"

namespace zeph::test {

// Takes the window's place while it lives and records every call, from any thread, in order, as text:
//   "setCheck KEY true", "showComboValue KEY 40", "selectComboEntry KEY 100", "showEditValue KEY text",
//   "enable KEY false", "selectMaxFitCombo", "selectComboEntry MAX_FIT_FL 24.0", "showEnabled KEY false".
// Values are those at the time of the call. Only one may live at a time; at the end no sink is installed.
class RecordingControlSink : public ControlSink {
public:
    RecordingControlSink();
    ~RecordingControlSink() override;
    RecordingControlSink(const RecordingControlSink&) = delete;
    RecordingControlSink& operator=(const RecordingControlSink&) = delete;

    void setCheck(const CheckBoxParameter& parameter) override;
    void showComboValue(const ComboParameter<std::int32_t>& parameter) override;
    void selectComboEntry(const ComboParameter<std::int32_t>& parameter, std::int32_t value) override;
    void selectComboEntry(const ComboParameter<float>& parameter, float value) override;
    void showEditValue(const EditParameter& parameter) override;
    void enable(const ParameterControl& control, bool enabled) override;
    void showEnabled(const ParameterControl& control, bool enabled) override;
    void selectMaxFitCombo() override;

    std::vector<std::string> calls() const { return log_.calls(); }
    // The number of calls of one kind ("setCheck", "enable", ...).
    std::size_t count(std::string_view kind) const { return log_.count(kind); }
    void clear() { log_.clear(); }

private:
    void record(std::string call) { log_.record(std::move(call)); }

    CallLog log_;
};

} // namespace zeph::test
