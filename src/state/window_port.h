#pragma once
#include <string>

#include "settings/parameter.h"
#include "state/window_types.h"

// The window calls that code below the shell makes: enabling controls, filling the callsign combo, selecting
// the max-fit entry, repainting an area and showing an error box. The window layer implements the port and
// installs it at start; until then, and in runs without a window, every call shows nothing.
//
// The port only shows. A value is written and saved through its parameter object, never through here, so
// that nothing is lost while no port is installed. Every method may be called from any thread and never
// blocks: the window layer queues the work for the GUI thread.

namespace zeph {

class WindowPort {
public:
    virtual ~WindowPort() = default;

    // The control, found by its id in the main window, is enabled or disabled.
    virtual void enableControl(const ParameterControl& control, bool enabled) = 0;
    // The static-parking group of controls is enabled or disabled as a whole.
    virtual void enableStaticParkingGroup(bool enabled) = 0;
    // The callsign combo gets a copy of the callsign list and selects the entry of its current value.
    virtual void fillCallsignCombo() = 0;
    // MAX_FIT_FL takes the hours of MAX_FIT and selects them.
    virtual void selectMaxFitCombo() = 0;
    // The main window's control with that id; null when there is none.
    virtual WindowHandle controlById(ControlId id) = 0;
    // Asks for a repaint of area of the main window.
    virtual void invalidate(const Rect& area) = 0;
    // An exclamation box that never waits for the user.
    virtual void messageBox(std::string text, std::string caption) = 0;
};

// Installs the window's port and returns the one installed before; nullptr shows nothing. The port must
// outlive every call made through it.
WindowPort* setWindowPort(WindowPort* port);

// The installed port, or one that shows nothing.
WindowPort& windowPort();

void gf_enableControl(const ParameterControl& control);
// The static-parking group while a renewal is being planned: staticRenewalBusy set, the group disabled.
void gf_disableControls();
// After the renewal: staticRenewalBusy cleared, 19 minutes to the next one, the group enabled again.
void gf_enableControls();
// The callsign combo gets a copy of the callsign list and selects the first entry that begins with its
// current value, ignoring case.
void gf_fillCallsignCombo();
// MAX_FIT_FL takes the hours of MAX_FIT and selects them; the selection stays when no entry equals them.
void gf_selectMaxFitCombo();

} // namespace zeph
