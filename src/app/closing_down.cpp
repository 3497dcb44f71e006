#include "app/closing_down.h"

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <string>
#include <system_error>
#include <thread>
#include <utility>

#include <fmt/format.h>

#include "aircraft/livery_memory.h"
#include "aircraft/no_match_list.h"
#include "app/entry_point.h"
#include "app/main_loop.h"
#include "app/seconds_schedule.h"
#include "app/startup_thread.h"
#include "core/log.h"
#include "core/program.h"
#include "core/run_flags.h"
#include "core/sleep_ms.h"
#include "core/strings.h"
#include "realtraffic/qnh.h"
#include "realtraffic/report_queue.h"
#include "realtraffic/rt_server.h"
#include "realtraffic/traffic_reader.h"
#include "realtraffic/udp_readers.h"
#include "settings/parameter_table.h"
#include "sim/flight_plans.h"
#include "sim/sim_link.h"
#include "state/exit_reason.h"
#include "state/main_window_state.h"
#include "state/run_state.h"
#include "state/status_line.h"
#include "traffic/making_way.h"
#include "traffic/park_airport_status.h"
#include "traffic/traffic_tables.h"

namespace zeph {

namespace {

std::function<void()> closingDownHook;

using namespace std::chrono_literals;

void postToMainWindow(unsigned message) {
    const WindowHandle window = mainWindowState.mainWindow.load();
    if (window != nullptr) {
        ui().postMessage(window, message, 0, 0);
    }
}

// After a SYSTEM ERROR the run waits until the user closes the window, or until another reason replaces it
// (the install path typed after error 151 or 153 records NEW SETTINGS), or until the program ends.
void waitAfterSystemError() {
    while (!userOrProcessStopped() && exitReason.load() == ExitReason::SYSTEM_ERROR) {
        std::this_thread::sleep_until(std::chrono::steady_clock::now() + 500ms);
    }
    if (userStopped.load()) {
        gf_setStatus(fmt::format("User closed {}", programId), true);
    }
}

// A failure here never stops the closing down.
void removeFlightPlanFolder() {
    if (flightPlanFolder.empty()) {
        return;
    }
    std::error_code error;
    std::filesystem::remove(flightPlanFolder, error);
    if (error == std::errc::directory_not_empty) {
        error.clear();
        std::filesystem::remove_all(flightPlanFolder, error);
    }
    if (error) {
        gf_logText(fmt::format("gf_removeFlightPlanFolder: {}", error.message()));
    }
}

// An error restart keeps a scan box that the user ticked in this run for the next start. A box still ticked
// otherwise belongs to a scan of this run that did not finish: it is unticked, so that errors cannot make
// that scan run again and again.
void untickScansNotAskedFor() {
    const std::pair<CheckBoxParameter*, const std::atomic<bool>*> scans[] = {
        {&SCAN_LIVERIES, &liveryScanAsked}, {&SCAN_AIRPORTS, &airportScanAsked}};
    for (const auto& [box, asked] : scans) {
        if (box->get() && !asked->load()) {
            box->set(false);
        }
    }
}

// The decision for a restarting reason. False when the user closed the window during the countdown: the
// program then ends instead, and every scan box stays as it is for the next start.
bool prepareRestart(ExitReason reason) {
    restartPending.store(true);
    gf_clearErrorStatus();
    gf_setStatus("Prepare for a restart ...", true);
    lf_restartCountdown();
    if (userOrProcessStopped()) {
        restartPending.store(false);
        return false;
    }
    if (reason != ExitReason::NEW_SETTINGS) {
        untickScansNotAskedFor();
    }
    lf_resetForRestart();
    // A close that came while the run was reset was kept by the reset, and ends the program instead.
    if (userOrProcessStopped()) {
        restartPending.store(false);
        return false;
    }
    return true;
}

void decideRestart() {
    const ExitReason reason = exitReason.load();
    if (restartsAfter(reason)) {
        prepareRestart(reason);
        return;
    }
    restartPending.store(false);
    if (reason == ExitReason::NEW_FLIGHT) {
        gf_setStatus(
            fmt::format("New flight detected, {} will close, please restart manually ...", programId), true);
        // Ends early when the program ends, so that a wait for the user never holds up its end.
        sleepUnless(closingDownLongestWait, [] { return processEnding.load(); });
    }
}

void closeDown() {
    gf_logText(fmt::format("Exiting: {}", exitReasonText(exitReason.load())));
    setTrafficAccepting(false);
    stopSimClientThread();
    trafficReader.stopFlag.store(true);
    qnhReader.stopFlag.store(true);
    std::this_thread::sleep_for(500ms);
    stopReaderThreads();
    if (rtClientConnected.load()) {
        sendDataPacket("exit\r\n");
    }
    gf_closeRealTrafficSockets();
    if (exitReason.load() == ExitReason::SYSTEM_ERROR) {
        waitAfterSystemError();
    }
    if (!parkAirportRecord.code.empty()) {
        lf_resetParkAirport();
    }
    rememberedLiveries.clear();
    removeFlightPlanFolder();
    ghostCallsigns.clear();
    if (closingDownHook) {
        closingDownHook();
    }
    gf_writeMatchingSummary();
    gf_printNoMatchList();
    decideRestart();
    // The destination and the blocked callsign hold for the restarts of this process, whose start-up applies
    // them again as this run leaves them (an emptied destination too); the end of the program forgets them,
    // so the next start begins without them.
    if (!restartPending.load()) {
        DESTINATION.set("");
        BLOCK_CALLSIGN.set("");
    }
    postToMainWindow(restartPending.load() ? startRunMessage : saveAndQuitMessage);
    gf_flushLog();
}

// What the window shows, back to its start.
void resetDisplayState() {
    MainWindowState& state = mainWindowState;
    {
        const std::lock_guard lock(state.statusMutex);
        state.statusText.clear();
        state.errorText.clear();
        state.statusClock = 0;
        state.statusSetAt = 0;
    }
    state.setQualityFactorText("");
    state.setUserStandText("");
    state.setParkAirportName("");
    state.setParkAirportPublisher("");
    state.setSimText("");
    state.setRealTrafficVersionText("");
    state.setUserAcTitle("");
    state.realTrafficNotStarted.store(true);
    for (std::atomic<bool>* flag :
         {&state.realTrafficConnected, &state.parkFileFound, &state.simConnected, &state.flightRunning,
          &state.handmadeFile, &state.softMode, &state.weekMode}) {
        flag->store(false);
    }
    state.userModelKnown.store(true);
    for (std::atomic<std::int32_t>* number : {&state.qnh, &state.maxPark, &state.learnedUpdates}) {
        number->store(0);
    }
    for (std::atomic<std::uint64_t>* count :
         {&state.liveCount, &state.parkedLiveCount, &state.staticCount, &state.standCount}) {
        count->store(0);
    }
    state.staticAverageFit.store(-1.0F);
    state.liveAverageFit.store(-1.0F);
    state.trafficReaderState.store(3);
    state.qnhReaderState.store(3);
    state.invalidateArea(Rect{0, 0, 880, 476});
}

// The shell's own flags, back to their start.
void resetShellState() {
    resetExitReasonUnlessClosed();
    lastMessageWindow.store(nullptr);
    oneSecondPending.store(false);
    flightNotRunning = false;
    rtProfessional.store(false);
    staticRenewNow.store(false);
    secondsCounter.store(0);
    staticRenewalStarted = false;
    // A park airport chosen in the seconds before its load: the next run has no airport to load it for.
    loadPending = false;
    // Every request the window's controls may have left: none of them belongs to the new run.
    for (std::atomic<bool>* request :
         {&blockingChanged, &maxLiveSelChanged, &navLightsChanged, &flushStaticRequest, &rereadRequest,
          &callsignListRequest, &matchingDepthRaised, &liveryScanAsked, &airportScanAsked}) {
        request->store(false);
    }
    (void)takeDestinationRequest();
    realTrafficAwaited.store(true);
    stockAirportsPath.clear();
    resetUserCollisionPosition();
}

} // namespace

void setClosingDownHookForTests(std::function<void()> hook) { closingDownHook = std::move(hook); }

void lf_closingDown() {
    try {
        closeDown();
    } catch (const std::exception& error) {
        const std::string text = fmt::format("{} exception {}", "lf_closingDown", error.what());
        gf_setStatus(text, false);
        gf_logText(text);
        restartPending.store(false);
        postToMainWindow(saveAndQuitMessage);
        gf_flushLog();
    }
}

void lf_restartCountdown() {
    const std::int32_t delay = currentRestartDelay();
    if (delay < 1) {
        return;
    }
    gf_logText(fmt::format("Restarting after {} seconds", delay));
    gf_logText(std::string(48, '-'));
    for (std::int32_t n = delay; n >= 1 && !userOrProcessStopped(); --n) {
        gf_setStatus(fmt::format("Restarting after {} second{}", n, gf_plural(n)), false);
        std::this_thread::sleep_until(std::chrono::steady_clock::now() + 1s);
    }
    // A close cut it short: the program ends without a restart.
    if (userOrProcessStopped()) {
        return;
    }
    LogBlock block;
    if (block.isOpen()) {
        block.stream() << "Restart countdown finished\n";
    }
}

void lf_resetForRestart() {
    gf_resetReaders();
    trafficReader.datagramCounter.store(0);
    trafficReader.counterSnapshot.store(0);
    currentQnh.store(1013);
    gf_resetSimLink();
    lf_clearTrafficTables();
    resetDisplayState();
    resetShellState();
}

} // namespace zeph
