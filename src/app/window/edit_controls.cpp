#include "app/window/edit_controls.h"

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

} // namespace zeph
