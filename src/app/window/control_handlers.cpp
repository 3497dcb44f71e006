#include "app/window/control_handlers.h"

#include "app/window/main_window_state.h"

namespace zeph {

// No control acts yet: every command is one that nothing handles.
bool lf_HandleWMCOMMAND(WindowHandle window, std::uintptr_t) {
    ui().invalidate(window, &settingsArea);
    return false;
}

} // namespace zeph
