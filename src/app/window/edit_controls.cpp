#include "app/window/edit_controls.h"

#include <exception>
#include <filesystem>
#include <string_view>
#include <system_error>

#include <fmt/format.h>

#include "airports/airport_database.h"
#include "app/entry_point.h"
#include "app/window/controls.h"
#include "core/log.h"
#include "core/program.h"
#include "core/strings.h"
#include "core/text_convert.h"
#include "settings/control_sink.h"
#include "settings/parameter_table.h"
#include "state/exit_reason.h"
#include "state/run_state.h"
#include "state/status_line.h"
#include "traffic/live_table_services.h"

namespace zeph {

namespace {

constexpr std::uintptr_t enterKey = 13;

// Byte by byte in the C locale: only ASCII letters change, so UTF-8 stays valid.
std::string upperCased(std::string text) {
    for (char& c : text) {
        c = static_cast<char>(gf_toUpperChar(static_cast<unsigned char>(c)));
    }
    return text;
}

// A rejected entry is logged and the field shows the stored value again.
void reject(const EditParameter& parameter, const std::string& text) {
    gf_setStatus(text, true);
    gf_setItemText(parameter);
}

void commitByKey(const EditParameter& parameter) {
    if (parameter.key == BLOCK_CALLSIGN.key) {
        lf_commitBlockCallsign();
    } else if (parameter.key == DESTINATION.key) {
        lf_commitDestination();
    } else if (parameter.key == ALL_INSTALL_PATH.key) {
        lf_commitInstallPath(lf_getTextFromId(parameter.controlId));
    }
}

// The restart is announced only when it was recorded: a run that is stopping already keeps its reason. The
// reason is recorded first, so the run is stopping when the text is shown, and the status line would not log
// it: the outcome of a committed path is logged here.
void acceptInstallPath(const std::string& text) {
    SIM_INSTALL_PATH.set(text);
    const std::string outcome = gf_setExitReason(ExitReason::NEW_SETTINGS, 3)
                                    ? fmt::format("Install path exists, {} will restart", programId)
                                    : fmt::format("Install path saved, please restart {}", programId);
    gf_setStatus(outcome, false);
    gf_logText(outcome);
}

} // namespace

std::intptr_t lf_editSubclassProc(const EditParameter& parameter, WindowHandle edit, unsigned msg,
                                  std::uintptr_t wParam, std::intptr_t lParam) {
    if (msg == Msg::Char && wParam == enterKey) {
        gf_clearStatus();
        commitByKey(parameter);
        return 0;
    }
    return ui().callPrevious(edit, msg, wParam, lParam);
}

std::intptr_t lf_installPathEditProc(WindowHandle edit, unsigned msg, std::uintptr_t wParam,
                                     std::intptr_t lParam, void*) {
    return lf_editSubclassProc(ALL_INSTALL_PATH, edit, msg, wParam, lParam);
}

std::intptr_t lf_blockCallsignEditProc(WindowHandle edit, unsigned msg, std::uintptr_t wParam,
                                       std::intptr_t lParam, void*) {
    return lf_editSubclassProc(BLOCK_CALLSIGN, edit, msg, wParam, lParam);
}

std::intptr_t lf_destinationEditProc(WindowHandle edit, unsigned msg, std::uintptr_t wParam,
                                     std::intptr_t lParam, void*) {
    return lf_editSubclassProc(DESTINATION, edit, msg, wParam, lParam);
}

std::string lf_getTextFromId(ControlId id) {
    const WindowHandle control = ui().controlById(lastMessageWindow.load(), id);
    if (control == nullptr) {
        gf_logText(fmt::format("GetDlgItem failed for ID {}", id));
        return "";
    }
    std::string text = ui().getText(control);
    try {
        (void)utf8_to_wide(text);
    } catch (const std::exception& error) {
        gf_logLine(
            fmt::format("{}: UTF-16 UTF-8 failed for id {}: {}", "lf_getTextFromId", id, error.what()));
        return "";
    }
    return text;
}

// Any failure to query the path other than "not found" is told with the system's text; nothing throws.
void lf_commitInstallPath(const std::string& text) {
    gf_clearErrorStatus();
    if (text.empty()) {
        if (!SIM_INSTALL_PATH.get().empty()) {
            SIM_INSTALL_PATH.set("");
        }
        return;
    }
    std::error_code error;
    const auto status = std::filesystem::status(std::filesystem::path(text), error);
    if (status.type() == std::filesystem::file_type::not_found) {
        gf_setStatus(fmt::format("This install path does not exist: {}", text), true);
    } else if (error) {
        gf_setStatus(fmt::format("Cannot access install path '{}': {}", text, error.message()), true);
    } else {
        acceptInstallPath(text);
    }
}

void lf_commitBlockCallsign() {
    gf_clearStatus();
    const std::string typed = lf_getTextFromId(BLOCK_CALLSIGN.controlId);
    if (typed.empty()) {
        lf_unblockCallsign();
        return;
    }
    // Callsigns are compared exactly and RealTraffic's have no blanks: one with a blank would block nothing.
    if (typed.size() < 4 || typed.size() > 8 || typed.find_first_of(blankSet) != std::string::npos) {
        reject(BLOCK_CALLSIGN, fmt::format("callsign '{}' is not valid", typed));
        return;
    }
    const std::string callsign = upperCased(typed);
    if (callsign == BLOCK_CALLSIGN.get()) {
        reject(BLOCK_CALLSIGN, fmt::format("callsign '{}' was already set ...", callsign));
        return;
    }
    if (callsign == CALLSIGN_2_OBJECTID.get()) {
        lf_resetCallsignList();
    }
    lf_blockCallsign(callsign);
}

void lf_blockCallsign(const std::string& callsign) {
    BLOCK_CALLSIGN.set(callsign);
    gf_setItemText(BLOCK_CALLSIGN);
    controlSink().enable(unblockButton, true);
    blockingChanged.store(true);
}

void lf_unblockCallsign() {
    const std::string old = BLOCK_CALLSIGN.get();
    if (old.empty()) {
        return;
    }
    BLOCK_CALLSIGN.set("");
    gf_setItemText(BLOCK_CALLSIGN);
    controlSink().enable(unblockButton, false);
    gf_setStatus(fmt::format("no more blocking of live aircraft '{}'", old), true);
    blockingChanged.store(true);
}

// An emptied destination lasts until the next start: it is not saved.
void lf_commitDestination() {
    gf_clearStatus();
    const std::string typed = lf_getTextFromId(DESTINATION.controlId);
    if (typed.empty()) {
        DESTINATION.setValue("");
        controlSink().enable(rereadButton, true);
        gf_setStatus("destination set to empty", true);
        return;
    }
    if (typed.size() != 4) {
        reject(DESTINATION, fmt::format("destination '{}' is not valid", typed));
        return;
    }
    const std::string code = upperCased(typed);
    if (code == DESTINATION.get()) {
        reject(DESTINATION, fmt::format("destination '{}' was already set ...", code));
        return;
    }
    // The airport table is filled once per process, before this field is first enabled: no lock needed.
    if (const AirportRecord* airport = gf_findAirport(code)) {
        lf_setDestination(code, GeoPoint{airport->latitude, airport->longitude});
    } else {
        reject(DESTINATION, fmt::format("destination '{}' is unknown ...", code));
    }
}

// The list belongs to the traffic thread, which moves the airport to its front on its next pass.
void lf_setDestination(const std::string& code, GeoPoint position) {
    DESTINATION.set(code);
    controlSink().showEditValue(DESTINATION);
    gf_setStatus(fmt::format("New destination: {}", code), true);
    lf_requestDestination(code, position);
    controlSink().enable(rereadButton, false);
}

} // namespace zeph
