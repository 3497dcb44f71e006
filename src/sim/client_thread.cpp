#include <exception>
#include <stop_token>
#include <string_view>

#include <fmt/format.h>

#include "core/errors.h"
#include "core/log.h"
#include "core/program.h"
#include "core/run_flags.h"
#include "core/sleep_ms.h"
#include "platform/timer_period.h"
#include "sim/definitions.h"
#include "sim/dispatch.h"
#include "sim/sim_link.h"
#include "sim/simconnect/calls.h"
#include "sim/user_aircraft.h"
#include "state/main_window_state.h"
#include "state/status_line.h"

// The "SimClient" thread: the whole conversation with the simulator runs here.

namespace zeph {

namespace {

constexpr std::int64_t kOpenRetryMs = 100;
constexpr std::int64_t kDispatchPauseMs = 1;

bool mustStop(const std::stop_token& stop) { return stop.stop_requested() || runIsStopping(); }

void showWaiting() {
    gf_setStatus(fmt::format("Waiting for Prepar3Dv{} ...", lf_simMajorVersion()), true);
    gf_flushLog();
    invalidateTopPanel();
}

// Tries to open until it succeeds (true) or the run stops (false). A failed open leaves no client.
bool openConnection(const std::stop_token& stop) {
    // A connect that gets no answer gives up on the stop instead of holding up closing down.
    const StopAsked stopAsked = [&stop] { return mustStop(stop); };
    bool firstAttempt = true;
    while (!mustStop(stop)) {
        if (firstAttempt) {
            firstAttempt = false;
            showWaiting();
        }
        SimConnectClient* client = nullptr;
        if (SimConnect_Open(&client, programId.data(), nullptr, 0, nullptr, 0, stopAsked) >= 0 &&
            client != nullptr) {
            const std::lock_guard lock(simConnectMutex);
            simClientHandle = client;
            return true;
        }
        gf_sleepMs(kOpenRetryMs);
    }
    return false;
}

// Until a stop is requested or the connection breaks. A broken connection (a negative dispatch result,
// given only after every message that was still waiting) means the simulator has gone: nothing else would
// notice, because the main loop makes no requests while no flight runs.
void dispatchMessages(const std::stop_token& stop) {
    const TimerPeriodScope timerPeriod;
    while (!stop.stop_requested() && !processEnding.load()) {
        if (SimConnect_CallDispatch(simClientHandle, lf_dispatchProc, nullptr) < 0) {
            simConnected.store(false);
            lf_simulatorLost();
            return;
        }
        gf_sleepMs(kDispatchPauseMs);
    }
}

void connectAndDispatch(const std::stop_token& stop) {
    if (!openConnection(stop)) {
        return;
    }
    lf_setupSimDefinitions();
    dispatchMessages(stop);
}

// The handle leaves the shared state under the lock, so another thread never calls a closed client.
SimConnectClient* takeClientHandle() {
    const std::lock_guard lock(simConnectMutex);
    SimConnectClient* client = simClientHandle;
    simClientHandle = nullptr;
    return client;
}

void logClosingFailure(const char* what) { gf_logLine(fmt::format("lf_simClientThread exception {}", what)); }

// Closing runs outside the thread's exception handling; nothing thrown here may end the process, and the
// connection is closed whatever happened before.
void closeConnection() {
    try {
        lf_checkUserAirport();
    } catch (const std::exception& e) {
        logClosingFailure(e.what());
    } catch (...) {
        logClosingFailure("unknown");
    }
    mainWindowState.simConnected.store(false);
    invalidateTopPanel();
    SimConnectClient* client = takeClientHandle();
    if (client == nullptr) {
        return;
    }
    try {
        if (SimConnect_Close(client) < 0) {
            gf_logLine("Closing SimConnect failed?!");
        } else {
            gf_logText("SimConnect closed ok");
        }
    } catch (const std::exception& e) {
        logClosingFailure(e.what());
    } catch (...) {
        logClosingFailure("unknown");
    }
}

} // namespace

void lf_simClientThread(const std::stop_token& stop) {
    simFrameCounter.store(0);
    try {
        connectAndDispatch(stop);
    } catch (const UserErrorException& e) {
        // The user must act; the run goes on without simulator traffic and the error stays shown. The
        // flight no longer counts as running, so nothing calls the connection that is closed below.
        const std::string_view text = e.what();
        gf_setErrorStatus(text.empty() ? "Unknown exception" : text);
        simConnected.store(false);
    } catch (const std::exception& e) {
        gf_setErrorStatus(e.what());
        simConnected.store(false);
        lf_simulatorLost();
    } catch (...) {
        gf_setErrorStatus("Exception in SimClient");
        simConnected.store(false);
        lf_simulatorLost();
    }
    closeConnection();
}

} // namespace zeph
