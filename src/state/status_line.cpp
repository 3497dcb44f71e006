#include "state/status_line.h"

#include <algorithm>
#include <mutex>

#include <fmt/format.h>

#include "core/log.h"
#include "core/run_flags.h"
#include "state/main_window_state.h"

namespace zeph {

namespace {

// A normal text goes after this many seconds of running flight.
constexpr std::int32_t statusTimeoutSeconds = 25;

// One repaint request per paint (statusMutex held): while a repaint of the line is pending, a new text only
// replaces the old one, because the paint reads the texts under the same lock and will show it. A flood of
// texts from scan workers then costs the window one repaint, and each sender no more than the lock.
void requestRepaint(MainWindowState& state) {
    if (!state.statusRepaintPending && state.mainWindow.load() != nullptr) {
        state.statusRepaintPending = true;
        state.invalidateArea(statusLineArea);
    }
}

} // namespace

// The log is written while statusMutex is held, so that the log's order of status texts is the order in which
// they were shown.
void gf_setStatus(std::string_view text, bool log) {
    MainWindowState& state = mainWindowState;
    const std::lock_guard lock(state.statusMutex);
    if (!state.errorText.empty()) {
        return;
    }
    const bool empty = text.empty();
    state.statusText.assign(text); // reuses the old text's room: no allocation per call
    state.statusSetAt = empty ? 0 : std::max(state.statusClock, 1);
    if (log && !empty && !runIsStopping()) {
        gf_logText(state.statusText);
    }
    requestRepaint(state);
}

void gf_setErrorStatus(std::string_view text) {
    MainWindowState& state = mainWindowState;
    const std::lock_guard lock(state.statusMutex);
    state.statusText.clear();
    state.statusSetAt = 0;
    state.errorText.assign(text);
    if (!runIsStopping()) {
        gf_logText(fmt::format("Error {}", text));
    }
    requestRepaint(state);
}

void gf_clearStatus() { gf_setStatus(std::string_view(), true); }

void gf_clearErrorStatus() {
    {
        const std::lock_guard lock(mainWindowState.statusMutex);
        mainWindowState.errorText.clear();
        mainWindowState.invalidateArea(statusLineArea);
    }
    gf_clearStatus();
}

// The clock and the check are one step under the lock, so a text set meanwhile is never cut short. Clearing
// here is what gf_clearStatus does: an empty text logs nothing.
void lf_advanceStatusClock() {
    MainWindowState& state = mainWindowState;
    const std::lock_guard lock(state.statusMutex);
    ++state.statusClock;
    if (state.statusSetAt >= 1 && state.statusClock - state.statusSetAt >= statusTimeoutSeconds) {
        state.statusText.clear();
        state.statusSetAt = 0;
        requestRepaint(state);
    }
}

void StatusLineSink::setStatus(std::string_view text, bool log) { gf_setStatus(text, log); }

StatusLineSink& statusLineSink() {
    static StatusLineSink sink;
    return sink;
}

} // namespace zeph
