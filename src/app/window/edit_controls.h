#pragma once
#include <cstdint>

#include <string>

#include "app/window/ui.h"
#include "core/geodesy.h"

// The hooks of the main window's three edit fields. Each sees every key before its field does; param is the
// field's parameter object.

namespace zeph {

std::intptr_t lf_installPathEditProc(WindowHandle edit, unsigned msg, std::uintptr_t wParam, std::intptr_t lParam,
                                     void* param);
std::intptr_t lf_blockCallsignEditProc(WindowHandle edit, unsigned msg, std::uintptr_t wParam,
                                       std::intptr_t lParam, void* param);
std::intptr_t lf_destinationEditProc(WindowHandle edit, unsigned msg, std::uintptr_t wParam, std::intptr_t lParam,
                                     void* param);

// Applies a destination as if it had just been typed. Minimal stand-in until the edit controls land.
void lf_setDestination(const std::string& code, GeoPoint position);

} // namespace zeph
