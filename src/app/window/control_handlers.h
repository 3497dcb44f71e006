#pragma once
#include <cstdint>

#include "app/window/ui.h"

// What the user does with the main window's check boxes, drop-down lists and push buttons: each arrives as
// Msg::Command in the window procedure and is handled here, on the GUI thread.

namespace zeph {

// True when the command was handled. A command that nothing handles repaints the settings area, so that a
// control the window drew over shows again.
bool lf_HandleWMCOMMAND(WindowHandle window, std::uintptr_t wParam);

// Chooses the range from where the user aircraft is and applies it. Minimal stand-in until the control
// handlers land.
void lf_autoRange();

// Asks for a static-parking renewal at the next fifteen-second step: the static-parking group disabled, the
// wait shown in the status line, staticRenewNow set. Any thread.
void lf_renewStaticParkingSoon();

} // namespace zeph
