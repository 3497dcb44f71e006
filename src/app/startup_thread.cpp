#include "app/startup_thread.h"

#include <chrono>
#include <exception>
#include <thread>

#include "app/entry_point.h"
#include "app/status_line.h"
#include "app/window/controls.h"
#include "app/window/main_window_state.h"
#include "core/run_flags.h"
#include "settings/parameters_file.h"

namespace zeph {

namespace {

bool runAskedToEnd(const std::stop_token& stop) {
    return runStopping.load() || userStopped.load() || stop.stop_requested();
}

} // namespace

void lf_startThread(std::stop_token stop) {
    try {
        gf_initParameters();
        lf_initControlsFromParameters();
    } catch (const std::exception& error) {
        gf_setErrorStatus(error.what());
    }
    while (!runAskedToEnd(stop)) {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    ui().postMessage(mainWindowState.mainWindow.load(), saveAndQuitMessage, 0, 0);
}

} // namespace zeph
