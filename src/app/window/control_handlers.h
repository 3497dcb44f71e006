#pragma once
#include <cstdint>

#include "app/window/ui.h"

// What the user does with the main window's check boxes, drop-down lists and push buttons: each arrives as
// Msg::Command in the window procedure and is handled here, on the GUI thread.

namespace zeph {

// True when the command was handled. A command that nothing handles repaints the settings area, so that a
// control the window drew over shows again.
bool lf_HandleWMCOMMAND(WindowHandle window, std::uintptr_t wParam);

} // namespace zeph
