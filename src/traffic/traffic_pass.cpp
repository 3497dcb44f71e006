#include "traffic/traffic_pass.h"

#include <algorithm>
#include <cstdint>
#include <mutex>

#include <fmt/format.h>

#include "airports/stands.h"
#include "core/geodesy.h"
#include "core/log.h"
#include "model/flight_texts.h"
#include "realtraffic/report_queue.h"
#include "realtraffic/rt_server.h"
#include "settings/parameter_table.h"
#include "settings/range.h"
#include "sim/ai_objects.h"
#include "sim/sim_ids.h"
#include "sim/sim_link.h"
#include "sim/user_aircraft.h"
#include "traffic/live_update.h"
#include "traffic/report_intake.h"
#include "traffic/sim_results.h"
#include "traffic/traffic_tables.h"

namespace zeph {

namespace {

constexpr std::size_t kReportsPerPass = 2;
constexpr std::int64_t kRemovalEvery = 10;
constexpr std::int64_t kCreationEvery = 50;
constexpr std::int64_t kRangeEvery = 100;
constexpr std::int64_t kRangeEveryInFlare = 20;
constexpr float kWaitAboveFrameRate = 50.0F;

// Swaps the halves when the frame handler lets go at once. A busy lock at a low frame rate drops this pass's
// positions rather than hold up the pass; above 50 frames per second the next frame comes soon enough to
// wait for.
void swapPositionBuffers() {
    std::unique_lock lock(simConnectMutex, std::try_to_lock);
    if (!lock.owns_lock()) {
        if (simFrameRate.load() <= kWaitAboveFrameRate) {
            positionBuffers.writeHalf().clear();
            return;
        }
        lock.lock();
    }
    positionBuffers.swap();
    positionBuffers.writeHalf().clear();
}

void takeReports() {
    const std::lock_guard lock(addingStackMutex);
    for (std::size_t i = 0; i < kReportsPerPass && !addingStack.empty(); ++i) {
        TrafficReport report = std::move(addingStack.front());
        addingStack.pop_front();
        lf_processRtRecord(report);
    }
}

AiCreateRequest creationRequestOf(const LiveAc& aircraft) {
    const PositionBlock& p = aircraft.position;
    AiCreateRequest request;
    request.position.latitude = p.latitude;
    request.position.longitude = p.longitude;
    request.position.altitude = p.altitude;
    request.position.pitch = p.pitch * kRadToDeg;
    request.position.bank = p.bank * kRadToDeg;
    request.position.heading = p.heading * kRadToDeg;
    request.position.onGround = (aircraft.stream.empty() || aircraft.stream.front().airborne != 0) ? 0U : 1U;
    request.position.airspeed = 0;
    request.callsign = aircraft.callsign;
    request.livery = std::string(aircraft.livery);
    request.hexid = aircraft.hexid;
    return request;
}

// The last hexid waiting on acIdsToAdd becomes a creation request on liveAddQueue.
void buildCreationRequest() {
    if (acIdsToAdd.empty()) {
        return;
    }
    const std::uint32_t hexid = acIdsToAdd.back();
    acIdsToAdd.pop_back();
    LiveAc* found = gf_findLiveAc(hexid);
    if (found == nullptr) {
        return;
    }
    if (found->gone != 0) {
        // Removed while it waited here: no creation is on its way to report, so the record is withdrawn and
        // erased by the next pass rather than created only to be removed again.
        found->withdrawn = 1;
        return;
    }
    if (found->callsign.empty()) {
        gf_logLine(fmt::format("{} {} objectid = 0?", gf_acLogPrefix(*found), "lf_handleAddingStack"));
        // The simulator never gets an aircraft without a callsign: erased by the next pass rather than left
        // waiting for good.
        found->remove = 1;
        return;
    }
    liveAddQueue.push_back(creationRequestOf(*found));
}

void refreshUserPosition() {
    const UserAcPosition position = gf_getUserAcPosition();
    const std::lock_guard lock(userDataMutex);
    userAcPosition = position;
}

} // namespace

void lf_updateAllLiveAc() {
    bool anyErased = false;
    for (LiveAc& aircraft : liveAcTable) {
        anyErased = updateLiveAc(aircraft) || anyErased;
    }
    if (anyErased) {
        const auto erased = [](const LiveAc& a) { return a.remove != 0 || a.withdrawn != 0; };
        // A parked spawn or respawn erased before its creation gives its stand back.
        for (const LiveAc& a : liveAcTable) {
            if (erased(a)) {
                gf_freeStand(a.standNumber, a.hexid);
            }
        }
        std::erase_if(liveAcTable, erased);
    }
    swapPositionBuffers();
}

void lf_scheduleSimObjects() {
    const std::int64_t pass = tickCounter.load();
    if (pass % kRemovalEvery != 0) {
        return;
    }
    gf_handOverRemoval();
    if (pass % kCreationEvery != 0) {
        return;
    }
    if (gf_handOverCreation()) {
        return;
    }
    if (!staticPlan.empty()) {
        lf_detcs();
    }
}

void lf_requestAcInRange() {
    const std::int64_t pass = tickCounter.load();
    const std::int64_t every = landingFlare ? kRangeEveryInFlare : kRangeEvery;
    if (pass % every == 0) {
        bool failed = false;
        {
            const std::lock_guard lock(simConnectMutex);
            if (!simConnectError.load()) {
                const auto radius = static_cast<std::uint32_t>(std::max(0, RANGE.get()) * metersPerNm);
                failed = gf_simCalls().requestDataOnSimObjectType(simid::kRequestAcInRange,
                                                                  simid::kDefineAcInRange, radius,
                                                                  simid::kObjectTypeAircraft) < 0;
            }
        }
        // The failure path takes the status and log locks: never under simConnectMutex.
        if (failed) {
            gf_logLine("SimConnect request ac within range fails");
            lf_simRequestError();
        }
    }
    if (pass % kRangeEvery == 0) {
        lf_sendUserPosition();
        refreshUserPosition();
    }
}

void lf_handleAddingStack() {
    lf_handleSimResults();
    lf_updateAllLiveAc();
    lf_scheduleSimObjects();
    takeReports();
    buildCreationRequest();
    lf_requestAcInRange();
    tickCounter.store(tickCounter.load() + 1);
}

} // namespace zeph
