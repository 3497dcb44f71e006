#pragma once
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "state/window_port.h"
#include "support/call_log.h"

namespace zeph::test {

// Takes the window's place while it lives and records every call, from any thread, in order, as text:
//   "enableControl KEY true", "enableStaticParkingGroup false", "fillCallsignCombo", "selectMaxFitCombo",
//   "controlById 1012", "invalidate 0 112 880 392", "messageBox text|caption".
// controlById answers null. At the end the port installed before is back.
class RecordingWindowPort : public WindowPort {
public:
    RecordingWindowPort() : previous_(setWindowPort(this)) {}
    ~RecordingWindowPort() override { setWindowPort(previous_); }
    RecordingWindowPort(const RecordingWindowPort&) = delete;
    RecordingWindowPort& operator=(const RecordingWindowPort&) = delete;

    void enableControl(const ParameterControl& control, bool enabled) override;
    void enableStaticParkingGroup(bool enabled) override;
    void fillCallsignCombo() override;
    void selectMaxFitCombo() override;
    WindowHandle controlById(ControlId id) override;
    void invalidate(const Rect& area) override;
    void messageBox(std::string text, std::string caption) override;

    std::vector<std::string> calls() const { return log_.calls(); }
    // The number of calls of one kind ("enableControl", "invalidate", ...).
    std::size_t count(std::string_view kind) const { return log_.count(kind); }
    void clear() { log_.clear(); }

private:
    WindowPort* previous_;
    CallLog log_;
};

} // namespace zeph::test
