#include "app/main_loop.h"

#include <chrono>
#include <cmath>

#include <fmt/format.h>

#include "aircraft/matching_tables.h"
#include "airports/auto_range.h"
#include "app/pass_pacer.h"
#include "app/seconds_schedule.h"
#include "app/startup_thread.h"
#include "app/window/controls.h"
#include "app/window_requests.h"
#include "core/log.h"
#include "core/run_flags.h"
#include "core/sleep_ms.h"
#include "core/time_text.h"
#include "platform/timer_period.h"
#include "realtraffic/qnh.h"
#include "realtraffic/report_queue.h"
#include "realtraffic/rt_server.h"
#include "realtraffic/traffic_reader.h"
#include "realtraffic/udp_readers.h"
#include "settings/parameter_table.h"
#include "sim/sim_link.h"
#include "sim/user_aircraft.h"
#include "state/main_window_state.h"
#include "state/run_state.h"
#include "traffic/making_way.h"
#include "traffic/park_airport_status.h"
#include "traffic/traffic_pass.h"
#include "traffic/traffic_tables.h"

namespace zeph {

std::jthread simClientThread;
std::jthread qnhReaderThread;
std::jthread trafficReaderThread;

bool flightNotRunning = false;
std::int32_t notRunningCountdown = 100;
bool staticRenewalStarted = false;

namespace {

using namespace std::chrono_literals;

// The thread held from the previous run, if any, is stopped and joined first.
void startSimClientThread() {
    stopSimClientThread();
    simClientThread = std::jthread(lf_simClientThread);
}

void startReaderThread(std::jthread& thread, UdpReader& reader, void (*procedure)(std::uint16_t),
                       std::uint16_t port) {
    if (thread.joinable()) {
        reader.stopFlag.store(true);
        thread.join();
        reader.stopFlag.store(false);
    }
    thread = std::jthread(procedure, port);
}

GeoPoint userPositionOfTrafficThread() { return GeoPoint{userAcPosition.latitude, userAcPosition.longitude}; }

// Up to 15 s in 100 ms steps; false when the run stopped meanwhile.
bool waitForFirstTraffic() {
    for (int step = 0; step < 150; ++step) {
        if (std::trunc(trafficReader.lastReportTime()) != 0.0) {
            return true;
        }
        if (runIsStopping()) {
            return false;
        }
        std::this_thread::sleep_for(100ms);
    }
    if (std::trunc(trafficReader.lastReportTime()) == 0.0) {
        gf_logText("No traffic in this region?");
    }
    return !runIsStopping();
}

// The simulator link, the user aircraft and RealTraffic, in this order. False when the run ended meanwhile.
bool bringLinksUp() {
    mainWindowState.realTrafficConnected.store(false);
    invalidateTopPanel();
    mainWindowState.simConnected.store(false);
    invalidateTopPanel();
    lf_reserveTrafficTables();
    gf_reserveMatchingTables();
    gf_initSimLink(static_cast<std::uint32_t>(P3D_VERSION.get()));
    invalidateTopPanel();
    startSimClientThread();
    if (!lf_waitForUserAircraft()) {
        return false;
    }
    if (AUTO_RANGE.get()) {
        lf_autoRange();
    }
    if (realTrafficOnThisPc.load() && !AEROWINX.get()) {
        gf_startRTServer(PORT_NUMBER.get());
    } else {
        mainWindowState.realTrafficConnected.store(true);
        invalidateTopPanel();
    }
    if (runIsStopping()) {
        return false;
    }
    mainWindowState.realTrafficNotStarted.store(false);
    invalidateTopPanel();
    if (!AEROWINX.get()) {
        lf_waitForRealTraffic();
        if (rtProfessional.load()) {
            lf_sendSimTime(simUtcSeconds.load());
        }
    } else {
        rtProfessional.store(false);
    }
    return !runIsStopping();
}

// The readers and the first traffic. False when the run ended meanwhile.
bool startReaders() {
    setTrafficAccepting(false);
    startReaderThread(qnhReaderThread, qnhReader, lf_qnhReaderThread, realTrafficUdpPorts.qnh);
    // A close right after RealTraffic connected must not wait the 2 s out.
    if (!sleepUnless(2s, runIsStopping)) {
        return false;
    }
    startReaderThread(trafficReaderThread, trafficReader, lf_trafficReaderThread,
                      realTrafficUdpPorts.traffic);
    lf_sendUserPosition();
    trafficReader.setUserPosition(userPositionOfTrafficThread());
    return waitForFirstTraffic();
}

// The seconds of a running flight that are not multiples of 5.
void offBeatSecond(std::int32_t s) {
    if (s % 16 == 0 && !staticRenewalStarted) {
        lf_checkParkAirport(0);
    }
    if (s % 59 == 0) {
        lf_checkReaderActivity();
    }
    if (s % 61 == 0) {
        lf_removeStaticTwinOfLive();
    }
}

void fiveSecondBeat(std::int32_t s) {
    trafficReader.setUserPosition(userPositionOfTrafficThread());
    if (rtProfessional.load()) {
        lf_sendSimTime(simUtcSeconds.load());
    }
    if (!reservedStandCopy().empty()) {
        lf_clearReservedStand();
    }
    lf_every5Seconds();
    if (secondsCounter.load() % 15 == 0) {
        lf_every15Seconds(s);
    }
}

} // namespace

void stopSimClientThread() {
    if (simClientThread.joinable()) {
        simClientThread.request_stop();
        simClientThread.join();
    }
}

void stopReaderThreads() {
    trafficReader.stopFlag.store(true);
    qnhReader.stopFlag.store(true);
    if (qnhReaderThread.joinable()) {
        qnhReaderThread.join();
    }
    if (trafficReaderThread.joinable()) {
        trafficReaderThread.join();
    }
}

bool lf_mainLoopTick() {
    lf_serveWindowRequests();
    if (simConnected.load() && !simConnectError.load()) {
        lf_handleAddingStack();
        if (!oneSecondPending.exchange(false)) {
            return !runIsStopping();
        }
        lf_flightRunningSecond();
        if (runIsStopping()) {
            return false;
        }
        const std::int32_t s = secondsCounter.load();
        if (s % 5 != 0) {
            offBeatSecond(s);
        } else {
            fiveSecondBeat(s);
        }
        return true;
    }
    lf_flightNotRunning();
    return !runIsStopping();
}

bool lf_mainLoop() {
    if (!bringLinksUp() || !startReaders()) {
        return false;
    }
    lf_refreshWeekSlot();
    lf_checkParkAirport(1);
    lf_checkReaderActivity();
    secondsCounter.store(0);
    PassPacer pacer;
    pacer.anchor();
    lf_refreshWeekSlot();
    setTrafficAccepting(true);
    pacer.step();
    gf_fillCallsignCombo();
    gf_enableControl(csToOidButton);
    const TimerPeriodScope timerPeriod;
    while (lf_mainLoopTick()) {
        pacer.betweenPasses(oneSecondPending.load());
    }
    return true;
}

} // namespace zeph
