#pragma once
#include <cstdint>

#include <string>

#include "app/window/ui.h"
#include "core/geodesy.h"
#include "settings/parameter.h"

// The main window's three edit fields: the install path, the blocked callsign and the destination. Nothing
// typed takes effect until Enter; then the text is read back, checked, normalised and committed, and the
// outcome goes to the status line. GUI thread, except lf_setDestination.

namespace zeph {

// Enter (Msg::Char 13) clears the status and commits the field by its parameter's key; the field never sees
// it, and the answer is 0. Every other message goes on to the field's own handling.
std::intptr_t lf_editSubclassProc(const EditParameter& parameter, WindowHandle edit, unsigned msg,
                                  std::uintptr_t wParam, std::intptr_t lParam);

// The hooks installed on the fields; each forwards to lf_editSubclassProc with its parameter.
std::intptr_t lf_installPathEditProc(WindowHandle edit, unsigned msg, std::uintptr_t wParam,
                                     std::intptr_t lParam, void* param);
std::intptr_t lf_blockCallsignEditProc(WindowHandle edit, unsigned msg, std::uintptr_t wParam,
                                       std::intptr_t lParam, void* param);
std::intptr_t lf_destinationEditProc(WindowHandle edit, unsigned msg, std::uintptr_t wParam,
                                     std::intptr_t lParam, void* param);

// The text of the main window's control with this id, as UTF-8; "" (logged) when there is no such control
// or its text is not valid UTF-8.
std::string lf_getTextFromId(ControlId id);

// An existing path (folder, file, link) is stored as SIM_INSTALL_PATH and restarts the run; an empty one
// forgets the stored path. Clears an error shown before.
void lf_commitInstallPath(const std::string& text);
// The callsign field's text, 4 to 8 bytes, upper-cased, becomes the blocked callsign; empty unblocks.
void lf_commitBlockCallsign();
// Blocks this callsign without a check ("Block").
void lf_blockCallsign(const std::string& callsign);
// Forgets the blocked callsign, if any ("Unblock" and an emptied field).
void lf_unblockCallsign();
// The destination field's text, a known 4-letter airport code, upper-cased, becomes the destination; empty
// forgets it for this process.
void lf_commitDestination();

// The destination becomes code: stored, shown and logged, and its airport is asked to the front of the
// park-airport list (served by the traffic thread). "Re-read" is disabled. GUI or start-up thread.
void lf_setDestination(const std::string& code, GeoPoint position);

} // namespace zeph
