#pragma once
#include <cstdint>
#include <string>

#include "app/window/ui.h"

// What the user does with the main window's check boxes, drop-down lists and push buttons: each arrives as
// Msg::Command in the window procedure and is handled here, on the GUI thread. Work on the traffic tables is
// only requested here; the traffic thread does it.

namespace zeph {

// The buttons, then the check boxes, then the drop-down lists. True when the command was handled. A command
// that nothing handles, or whose handler threw (logged), repaints the settings area and gives false.
bool lf_HandleWMCOMMAND(WindowHandle window, std::uintptr_t wParam);

// The push button with this id acts; false for any other id.
bool lf_handleButtons(WindowHandle window, ControlId id);
// The check box with this id flips, saves its value and gives its note; false for any other id, and for
// NAV_LIGHTS_WHILE_PARKED, so that its command repaints the settings area.
bool lf_handleCheckBoxes(WindowHandle window, ControlId id);
// The drop-down list that the command picked from stores its choice; false when the command picked nothing.
bool lf_handleComboBoxes(WindowHandle window, std::uintptr_t wParam);

// What the user picked in a drop-down list.
struct ComboSelection {
    std::int32_t index = -1;
    std::string text;
    bool valid = false;
};

// Valid only for a SelChange command of this id whose list has a selected entry with a text.
ComboSelection lf_getComboSelection(WindowHandle window, ControlId id, std::uintptr_t wParam);

// Asks for a static-parking renewal at the next fifteen-second step: the static-parking group disabled, the
// wait shown in the status line, staticRenewNow set. Any thread.
void lf_renewStaticParkingSoon();

} // namespace zeph
