#include "state/window_port.h"

#include <atomic>

#include "state/main_window_state.h"

namespace zeph {

namespace {

class NullWindowPort final : public WindowPort {
public:
    void enableControl(const ParameterControl&, bool) override {}
    void enableStaticParkingGroup(bool) override {}
    void fillCallsignCombo() override {}
    void selectMaxFitCombo() override {}
    WindowHandle controlById(ControlId) override { return nullptr; }
    void invalidate(const Rect&) override {}
    void messageBox(std::string, std::string) override {}
};

NullWindowPort nullPort;
std::atomic<WindowPort*> installedPort{nullptr};

} // namespace

WindowPort* setWindowPort(WindowPort* port) { return installedPort.exchange(port); }

WindowPort& windowPort() {
    WindowPort* port = installedPort.load();
    return port != nullptr ? *port : nullPort;
}

void gf_enableControl(const ParameterControl& control) { windowPort().enableControl(control, true); }

// The busy flag is the run's state, kept also when nothing shows it.
void gf_disableControls() {
    staticRenewalBusy.store(true);
    windowPort().enableStaticParkingGroup(false);
    mainWindowState.invalidateArea(settingsArea);
}

void gf_enableControls() {
    staticRenewalBusy.store(false);
    mainWindowState.invalidateArea(settingsArea);
    windowPort().enableStaticParkingGroup(true);
    mainWindowState.invalidateArea(settingsArea);
}

void gf_fillCallsignCombo() { windowPort().fillCallsignCombo(); }

void gf_selectMaxFitCombo() { windowPort().selectMaxFitCombo(); }

} // namespace zeph
