#include "sim/sim_link.h"

#include <cassert>
#include <string_view>

#include <fmt/format.h>

#include "core/errors.h"
#include "core/log.h"
#include "core/program.h"
#include "core/run_flags.h"
#include "core/time_text.h"
#include "settings/parameter_table.h"
#include "sim/simconnect/calls.h"
#include "sim/user_aircraft.h"
#include "state/exit_reason.h"
#include "state/status_line.h"

namespace zeph {

std::atomic<bool> simConnected{false};
std::atomic<bool> simConnectError{false};
OwnedMutex simConnectMutex;
SimConnectClient* simClientHandle = nullptr;
PositionBuffers positionBuffers;
std::vector<AiCreateRequest> creationWork;
std::vector<QueuedClientEvent> clientEventWork;
std::vector<std::uint32_t> removalWork;
std::vector<PendingCreation> pendingCreations;
std::vector<std::uint32_t> newObjectIds;
std::vector<SimResult> simResultQueue;
std::mutex simResultMutex;
std::atomic<float> simFrameRate{0.0F};
std::atomic<std::uint32_t> simMajorVersion{5};
std::atomic<std::int32_t> simFrameCounter{0};

namespace {

constexpr std::size_t workListRoom = 256;

// The real calls, on the connection of this run. The handle is read here, under the caller's lock, so a
// connection the client thread has closed is never used: the thread sets the handle to null under the same
// lock before it closes.
class ClientPort final : public SimCallPort {
public:
    std::int32_t requestDataOnSimObjectType(std::uint32_t requestId, std::uint32_t defineId,
                                            std::uint32_t radiusMeters, std::uint32_t objectType) override {
        assert(simConnectMutex.heldByThisThread());
        if (simClientHandle == nullptr) {
            return E_FAIL;
        }
        return SimConnect_RequestDataOnSimObjectType(simClientHandle, requestId, defineId, radiusMeters,
                                                     objectType);
    }

    std::int32_t requestDataOnSimObject(std::uint32_t requestId, std::uint32_t defineId,
                                        std::uint32_t objectId, std::uint32_t period) override {
        assert(simConnectMutex.heldByThisThread());
        if (simClientHandle == nullptr) {
            return E_FAIL;
        }
        return SimConnect_RequestDataOnSimObject(simClientHandle, requestId, defineId, objectId, period);
    }

    std::int32_t setAiFlightPlan(std::uint32_t objectId, const std::string& path,
                                 std::uint32_t requestId) override {
        assert(simConnectMutex.heldByThisThread());
        if (simClientHandle == nullptr) {
            return E_FAIL;
        }
        return SimConnect_AISetAircraftFlightPlan(simClientHandle, objectId, path.c_str(), requestId);
    }

    std::int32_t transmitClientEvent(std::uint32_t objectId, std::uint32_t eventId, std::uint32_t data,
                                     std::uint32_t groupId, std::uint32_t flags) override {
        assert(simConnectMutex.heldByThisThread());
        if (simClientHandle == nullptr) {
            return E_FAIL;
        }
        return SimConnect_TransmitClientEvent(simClientHandle, objectId, eventId, data, groupId, flags);
    }

    std::int32_t setDataOnSimObject(std::uint32_t defineId, std::uint32_t objectId, std::uint32_t flags,
                                    std::uint32_t arrayCount, std::uint32_t unitSize,
                                    const void* data) override {
        assert(simConnectMutex.heldByThisThread());
        if (simClientHandle == nullptr) {
            return E_FAIL;
        }
        return SimConnect_SetDataOnSimObject(simClientHandle, defineId, objectId, flags, arrayCount, unitSize,
                                             data);
    }
};

ClientPort clientPort;
std::atomic<SimCallPort*> installedPort{&clientPort};

bool holds(std::string_view text, std::string_view part) { return text.find(part) != std::string_view::npos; }

std::uint32_t configuredMajorVersion() { return static_cast<std::uint32_t>(P3D_VERSION.get()); }

} // namespace

SimCallPort& gf_simCalls() { return *installedPort.load(); }

void gf_installSimCalls(SimCallPort* port) { installedPort.store(port != nullptr ? port : &clientPort); }

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

std::string lf_simMajorVersion() {
    const std::string installPath = SIM_INSTALL_PATH.get();
    if (holds(installPath, "v5") || holds(installPath, "V5")) {
        return "5";
    }
    if (holds(installPath, "v6") || holds(installPath, "V6")) {
        return "6";
    }
    const std::int32_t configured = P3D_VERSION.get();
    if (configured >= 5) {
        return fmt::format("{}", configured);
    }
    throw UserErrorException(
        77,
        fmt::format("P3D install path does not contain v5 or v6. Use hidden parameter {}, set it to 5 or 6.",
                    P3D_VERSION.key));
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
    {
        const std::lock_guard lock(simConnectMutex);
        simClientHandle = nullptr;
    }
    {
        const std::lock_guard lock(simResultMutex);
        simResultQueue.clear();
    }
    simFrameCounter.store(0);
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
