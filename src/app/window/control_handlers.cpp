#include "app/window/control_handlers.h"

#include <string>

#include <fmt/format.h>

#include "app/main_loop.h"
#include "app/window/controls.h"
#include "core/program.h"
#include "core/strings.h"
#include "state/main_window_state.h"
#include "state/seam_trace.h"
#include "state/status_line.h"

namespace zeph {

// No control acts yet: every command is one that nothing handles.
bool lf_HandleWMCOMMAND(WindowHandle window, std::uintptr_t) {
    ui().invalidate(window, &settingsArea);
    return false;
}

void lf_autoRange() {
    noteSeamCall("lf_autoRange");
}

// The renewal starts at the next multiple of 15 seconds of the main loop: 1 to 15 seconds from now.
void lf_renewStaticParkingSoon() {
    gf_disableControls();
    const std::int32_t s = secondsCounter.load();
    const std::int32_t wait = (s / 15 + 1) * 15 - s;
    if (wait > 0) {
        gf_setStatus(fmt::format("{} will update static parking in {} second{} ...", programId, wait,
                                 gf_plural(wait)),
                     false);
    }
    staticRenewNow.store(true);
}

} // namespace zeph
