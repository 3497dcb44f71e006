#include "app/window/edit_controls.h"

#include <fmt/format.h>

#include "state/seam_trace.h"

namespace zeph {

// Nothing is committed from the fields yet: every key goes on to the field itself.

std::intptr_t lf_installPathEditProc(WindowHandle edit, unsigned msg, std::uintptr_t wParam, std::intptr_t lParam,
                                     void*) {
    return ui().callPrevious(edit, msg, wParam, lParam);
}

std::intptr_t lf_blockCallsignEditProc(WindowHandle edit, unsigned msg, std::uintptr_t wParam,
                                       std::intptr_t lParam, void*) {
    return ui().callPrevious(edit, msg, wParam, lParam);
}

std::intptr_t lf_destinationEditProc(WindowHandle edit, unsigned msg, std::uintptr_t wParam, std::intptr_t lParam,
                                     void*) {
    return ui().callPrevious(edit, msg, wParam, lParam);
}

void lf_setDestination(const std::string& code, GeoPoint /*position*/) {
    noteSeamCall(fmt::format("lf_setDestination {}", code));
}

} // namespace zeph
