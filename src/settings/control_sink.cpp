#include "settings/control_sink.h"

#include <atomic>

namespace zeph {

namespace {

class NullControlSink final : public ControlSink {
public:
    void setCheck(const CheckBoxParameter&) override {}
    void showComboValue(const ComboParameter<std::int32_t>&) override {}
    void selectComboEntry(const ComboParameter<std::int32_t>&, std::int32_t) override {}
    void selectComboEntry(const ComboParameter<float>&, float) override {}
    void showEditValue(const EditParameter&) override {}
    void enable(const ParameterControl&, bool) override {}
    void showEnabled(const ParameterControl&, bool) override {}
    void selectMaxFitCombo() override {}
};

NullControlSink nullSink;
std::atomic<ControlSink*> installedSink{nullptr};

} // namespace

void setControlSink(ControlSink* sink) { installedSink.store(sink); }

ControlSink& controlSink() {
    ControlSink* sink = installedSink.load();
    return sink != nullptr ? *sink : nullSink;
}

} // namespace zeph
