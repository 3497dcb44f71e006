#include "sim/sim_link.h"

#include <chrono>
#include <thread>

#include <fmt/format.h>

#include "app/exit_reason.h"
#include "app/seam_trace.h"
#include "app/status_line.h"
#include "app/window/main_window_state.h"
#include "core/log.h"
#include "core/program.h"
#include "core/run_flags.h"
#include "core/time_text.h"
#include "settings/parameter_table.h"
#include "sim/user_aircraft.h"

namespace zeph {

std::atomic<bool> simConnected{false};
std::atomic<bool> simConnectError{false};
std::mutex simConnectMutex;
PositionBuffers positionBuffers;
std::vector<AiCreateRequest> creationWork;
std::vector<QueuedClientEvent> clientEventWork;
std::vector<std::uint32_t> removalWork;
std::vector<PendingCreation> pendingCreations;
std::vector<std::uint32_t> newObjectIds;
std::deque<SimResult> simResultQueue;
std::mutex simResultMutex;
std::atomic<float> simFrameRate{0.0F};
std::atomic<std::uint32_t> simMajorVersion{5};

namespace {

constexpr std::size_t workListRoom = 256;

bool runIsStopping() { return runStopping.load() || userStopped.load(); }

void flushLog() {
    LogBlock block;
    if (block.isOpen()) {
        block.stream().flush();
    }
}

// Without a client every request fails.
class NoClientPort final : public SimCallPort {
public:
    std::int32_t requestDataOnSimObjectType(std::uint32_t /*requestId*/, std::uint32_t /*defineId*/,
                                            std::uint32_t /*radiusMeters*/, std::uint32_t /*objectType*/) override {
        return static_cast<std::int32_t>(0x80004005U);
    }
};

NoClientPort noClientPort;
std::atomic<SimCallPort*> installedPort{&noClientPort};

std::uint32_t configuredMajorVersion() { return static_cast<std::uint32_t>(P3D_VERSION.get()); }

} // namespace

SimCallPort& gf_simCalls() { return *installedPort.load(); }

void gf_installSimCalls(SimCallPort* port) { installedPort.store(port != nullptr ? port : &noClientPort); }

void PositionBuffers::reserve(std::size_t count) {
    halves_[0].reserve(count);
    halves_[1].reserve(count);
}

void PositionBuffers::reset() {
    halves_[0].clear();
    halves_[1].clear();
    writeIndex_ = 0;
}

void gf_initSimLink(std::uint32_t majorVersion) {
    noteSeamCall(fmt::format("gf_initSimLink {}", majorVersion));
    simMajorVersion.store(majorVersion);
    {
        const std::lock_guard lock(simConnectMutex);
        positionBuffers.reserve(workListRoom);
        creationWork.reserve(workListRoom);
        removalWork.reserve(workListRoom);
    }
    pendingCreations.reserve(workListRoom);
    newObjectIds.reserve(workListRoom);
    simConnectError.store(false);
}

// Minimal stand-in until the simulator link lands: it never connects.
void lf_simClientThread(std::stop_token stop) {
    using namespace std::chrono_literals;
    bool firstAttempt = true;
    while (!stop.stop_requested() && !runIsStopping()) {
        if (firstAttempt) {
            firstAttempt = false;
            gf_setStatus(fmt::format("Waiting for Prepar3Dv{} ...", P3D_VERSION.get()), true);
            flushLog();
            mainWindowState.invalidateArea(topPanelArea);
        }
        std::this_thread::sleep_for(100ms);
    }
}

void lf_simRequestError() {
    gf_setStatus("SimConnect request error", true);
    simConnectError.store(true);
    gf_setExitReason(ExitReason::SIMCONNECT_ERROR, 9);
}

void lf_simulatorLost() {
    if (runStopping.load()) {
        return;
    }
    gf_logText(fmt::format("{} Flight Simulator no longer connected, {} will stop ...", gf_utcClockText(),
                           programId));
    gf_setExitReason(ExitReason::SIM_WAS_CLOSED, 0);
}

void gf_resetSimLink() {
    pendingCreations.clear();
    simMajorVersion.store(configuredMajorVersion());
    newObjectIds.clear();
    simConnected.store(false);
    simConnectError.store(false);
    {
        const std::lock_guard lock(simConnectMutex);
        positionBuffers.reset();
        creationWork.clear();
        removalWork.clear();
        clientEventWork.clear();
    }
    gf_resetUserAircraft();
    simFrameRate.store(0.0F);
}

} // namespace zeph
