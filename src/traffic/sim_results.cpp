#include "traffic/sim_results.h"

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <mutex>
#include <system_error>

#include <fmt/format.h>

#include "aircraft/livery_memory.h"
#include "airports/stands.h"
#include "core/geodesy.h"
#include "core/log.h"
#include "model/flight_texts.h"
#include "settings/parameter_table.h"
#include "sim/ai_objects.h"
#include "sim/commands.h"
#include "sim/flight_plans.h"
#include "sim/sim_ids.h"
#include "traffic/making_way.h"
#include "traffic/removal_rules.h"
#include "traffic/spawning.h"
#include "traffic/traffic_tables.h"

namespace zeph {

std::vector<SimResult> createdList;

namespace {

enum ResultKind : std::uint32_t {
    liveCreated = 0,
    staticCreated = 1,
    objectRemoved = 2,
    inRange = 3,
    staticCgData = 4,
    callsignBlocked = 5,
    creationFailed = 6,
    creationLost = kResultCreationLost,
};

constexpr std::size_t kDrainRoom = 256;
constexpr std::int32_t kCompletionPasses = 200;
constexpr std::int32_t kFirstToggle = 50;
constexpr std::int32_t kSecondToggle = 100;
constexpr std::int32_t kDone = -1;
constexpr double kHighLightsAltitude = 10000.0; // feet: landing and logo lights below
constexpr double kCabinHeight = 2000.0;         // feet above the ground: cabin lights above
constexpr double kLowestCg = 1.0;
constexpr double kHighestCg = 35.0;
constexpr double kFallbackPitch = 0.012217304763960306; // 0.7 deg

// The drain's own half: the queue is swapped with it under the lock and worked through without it.
std::vector<SimResult> drained;

LiveAc* liveByObjectId(std::uint32_t objectId) {
    const auto found = std::find_if(liveAcTable.begin(), liveAcTable.end(),
                                    [objectId](const LiveAc& a) { return a.objectId == objectId; });
    return found != liveAcTable.end() ? &*found : nullptr;
}

template <typename Record>
void swapAndPop(std::vector<Record>& table, typename std::vector<Record>::iterator at) {
    if (at != table.end() - 1) {
        *at = std::move(table.back());
    }
    table.pop_back();
}

void onLiveCreated(const SimResult& result) {
    // Ids below 3 are the user's own aircraft and none: never an AI object of ours.
    if (result.objectId < 3) {
        return;
    }
    LiveAc* aircraft = gf_findLiveAc(result.hexid);
    if (aircraft == nullptr) {
        // An object nobody would move or remove: it goes again.
        removalQueue.push_back(result.objectId);
        gf_logLine(fmt::format("! lf_handleSimResults: no aircraft for hexid {}, object {} removed",
                               result.hexid, result.objectId));
        return;
    }
    if (lf_requestStaticCG(*aircraft, result)) {
        createdList.push_back(result);
    }
}

void touchDown(LiveAc& aircraft) {
    aircraft.touchDownEasing = 1;
    aircraft.landingRoll = 1;
    landingFlare = false;
    aircraft.touchDownHeading = aircraft.position.heading;
    aircraft.approach = 0;
    aircraft.landed = 1;
    gf_setSpoilers(aircraft, 1);
    gf_setControlLevers(aircraft, 100.0, aircraft.reversedThrottleLivery != 0 ? -100.0 : 100.0);
    const auto passes = static_cast<double>(aircraft.touchDownPasses);
    if (aircraft.touchDownPasses > 0) {
        aircraft.bankStep = (0.0 - aircraft.position.bank) / passes;
        aircraft.pitchStep = (aircraft.staticPitch - aircraft.position.pitch) / passes;
    } else {
        gf_logLine(fmt::format("{} ! onGround slots {:.1f}", aircraft.callsign, passes));
        aircraft.bankStep = 0.0;
        aircraft.pitchStep = aircraft.staticPitch;
    }
    coupleCheckList.push_back(aircraft.hexid);
}

void onInRange(const SimResult& result) {
    LiveAc* aircraft = liveByObjectId(result.objectId);
    if (aircraft == nullptr) {
        return;
    }
    if (result.hexid != 0 && aircraft->onGround == 0 && aircraft->phaseCountdown <= 1 &&
        aircraft->state != AcState::removingfromsim && aircraft->phase != AcPhase::take_off) {
        if (aircraft->landingStage != 0 || aircraft->approach != 0) {
            touchDown(*aircraft);
        }
        aircraft->onGround = 1;
        aircraft->altitudeStep = 0.0;
        aircraft->phaseCountdown = 1;
    }
    aircraft->heightAboveGround = result.value2;
    if (aircraft->onGround != 0 || aircraft->phaseCountdown >= 2) {
        aircraft->position.altitude = result.value1 + aircraft->staticCgHeight;
    }
}

void onStaticCg(const SimResult& result) {
    LiveAc* aircraft = liveByObjectId(result.objectId);
    if (aircraft == nullptr) {
        return;
    }
    if (result.value1 >= kLowestCg && result.value1 <= kHighestCg) {
        aircraft->staticCgHeight = result.value1;
    }
    // A pitch the simulator cannot mean (out of range, or not a number) gives the usual standing pitch.
    const bool usable =
        std::isfinite(result.value2) && result.value2 > -kDegToRad && result.value2 <= 2.5 * kDegToRad;
    aircraft->staticPitch = usable ? result.value2 : kFallbackPitch;
}

// The record of a creation by its hexid, live or static, erased when act agrees.
template <typename Act> void eraseCreation(std::uint32_t hexid, Act act) {
    const auto eraseFrom = [&](auto& table) {
        const auto found =
            std::find_if(table.begin(), table.end(), [&](const StaticAc& a) { return a.hexid == hexid; });
        if (found != table.end() && act(static_cast<StaticAc&>(*found))) {
            swapAndPop(table, found);
        }
    };
    if (hexid > kLastStaticHexid) {
        eraseFrom(liveAcTable);
    } else {
        eraseFrom(staticAcTable);
    }
}

void onCreationFailed(const SimResult& result) {
    eraseCreation(result.hexid, [](StaticAc& aircraft) {
        lf_handleCreationFailure(aircraft);
        gf_freeStand(aircraft.standNumber, aircraft.hexid); // a refused parked spawn stands nowhere
        return true;
    });
}

// The simulator took away the object made for a creation before it was matched: the record goes, with the
// stand a parked spawn held, and the aircraft's next report creates it anew. Its livery is not to blame.
void onCreationLost(const SimResult& result) {
    eraseCreation(result.hexid, [&](StaticAc& aircraft) {
        if (aircraft.state != AcState::adding2sim) {
            return false;
        }
        gf_logLine(fmt::format("{} removed by the simulator before it was matched, object {}",
                               gf_acLogPrefix(aircraft), result.objectId));
        gf_freeStand(aircraft.standNumber, aircraft.hexid);
        return true;
    });
}

void handleResult(const SimResult& result) {
    switch (result.kind) {
    case liveCreated:
        onLiveCreated(result);
        break;
    case staticCreated:
        createdList.push_back(result);
        break;
    case objectRemoved:
        gf_removeFlightPlan(result.objectId);
        break;
    case inRange:
        onInRange(result);
        break;
    case staticCgData:
        onStaticCg(result);
        break;
    case callsignBlocked:
        lf_callsignBlocked(result.hexid);
        break;
    case creationFailed:
        onCreationFailed(result);
        break;
    case creationLost:
        onCreationLost(result);
        break;
    default:
        break;
    }
}

void toggleAllLights(std::uint32_t objectId) {
    if (simConnectError.load()) {
        return;
    }
    bool failed = false;
    {
        const std::lock_guard lock(simConnectMutex);
        failed = gf_allLightsToggle(objectId) < 0;
    }
    if (failed) {
        gf_logLine("SimConnect gf_allLightsToggle fails");
        lf_simRequestError();
    }
}

void lightUpAirborne(LiveAc& aircraft) {
    const bool low = aircraft.position.altitude <= kHighLightsAltitude;
    gf_engineStart(aircraft.objectId);
    gf_setSpoilers(aircraft, 0);
    LightSet lights{};
    lights[navLight] = 1;
    lights[beaconLight] = 1;
    lights[landingLight] = low ? 1 : 0;
    lights[strobeLight] = 1;
    lights[logoLight] = low ? 1 : 0;
    lights[cabinLight] = aircraft.heightAboveGround >= kCabinHeight ? 1 : 0;
    gf_setLights(aircraft.objectId, lights);
}

void lightUpOnGround(LiveAc& aircraft) {
    const bool parked = aircraft.phase == AcPhase::parked;
    const bool taxi = aircraft.phase == AcPhase::taxi;
    gf_setSpoilers(aircraft, 0);
    LightSet lights{};
    if (parked) {
        gf_engineShutdown(aircraft.objectId);
        lights[navLight] = NAV_LIGHTS_WHILE_PARKED.get() ? 1 : 0;
    } else {
        gf_engineStart(aircraft.objectId);
        lights[navLight] = 1;
    }
    lights[beaconLight] = parked ? 0 : 1;
    lights[taxiLight] = taxi ? 1 : 0;
    lights[logoLight] = 1;
    lights[cabinLight] = 1;
    gf_setLights(aircraft.objectId, lights);
    gf_setThrottle(aircraft, aircraft.kind == AcKind::Rotorcraft ? 4 : 0);
    gf_setFlaps(aircraft, taxi ? 1 : 0);
}

// A removal asked while the creation was on its way: the gone flag has kept it waiting for the object, and
// must not keep the removal itself from happening.
void removeIfGone(StaticAc& aircraft) {
    if (aircraft.gone != 0) {
        aircraft.gone = 0;
        removeAircraftFromSim(aircraft);
    }
}

void completeLive(SimResult& entry) {
    entry.counter = kDone;
    LiveAc* aircraft = gf_findLiveAc(entry.hexid);
    if (aircraft == nullptr) {
        return; // the record has gone meanwhile: nothing waits for the entry any more
    }
    if (!aircraft->stream.empty() && aircraft->stream.front().airborne != 0) {
        lightUpAirborne(*aircraft);
    } else {
        lightUpOnGround(*aircraft);
    }
    aircraft->state = AcState::active;
    removeIfGone(*aircraft);
}

void completeStatic(SimResult& entry) {
    entry.counter = kDone;
    const auto found = std::find_if(staticAcTable.begin(), staticAcTable.end(),
                                    [&](const StaticAc& a) { return a.hexid == entry.hexid; });
    if (found == staticAcTable.end()) {
        return;
    }
    found->state = AcState::active;
    found->objectId = entry.objectId;
    gf_resetAcControls(*found);
    gf_logText(fmt::format("{:8}: {:8} parked", lf_standText(found->standNumber), found->callsign));
    removeIfGone(*found);
}

} // namespace

std::int32_t gf_allLightsToggle(std::uint32_t objectId) {
    return gf_simCalls().transmitClientEvent(objectId, simid::kEventAllLightsToggle, 0, simid::kGroup, 0);
}

void lf_handleSimResults() {
    if (drained.capacity() < kDrainRoom) {
        drained.reserve(kDrainRoom);
    }
    {
        const std::lock_guard lock(simResultMutex);
        drained.swap(simResultQueue);
    }
    // Results not yet handled when a refused livery ends the run are dropped with the run.
    struct EmptyOnExit {
        ~EmptyOnExit() { drained.clear(); }
    } emptyOnExit;
    for (const SimResult& result : drained) {
        handleResult(result);
    }
    if (!createdList.empty()) {
        lf_onAcCreated();
    }
}

void lf_onAcCreated() {
    bool anyDone = false;
    for (SimResult& entry : createdList) {
        if (entry.counter < kCompletionPasses) {
            ++entry.counter;
            if (entry.kind == liveCreated &&
                (entry.counter == kFirstToggle || entry.counter == kSecondToggle)) {
                toggleAllLights(entry.objectId);
            }
            continue;
        }
        if (entry.kind == liveCreated) {
            completeLive(entry);
        } else {
            completeStatic(entry);
        }
        anyDone = true;
    }
    if (anyDone) {
        std::erase_if(createdList, [](const SimResult& entry) { return entry.counter == kDone; });
    }
}

void lf_returnToBuffer(LiveAc& aircraft) {
    aircraft.state = AcState::buffer;
    aircraft.throttleIndex = 5;
    aircraft.flapsIndex = 4;
    aircraft.objectId = 0;
}

void gf_removeFlightPlan(std::uint32_t objectId) {
    const auto live = std::find_if(liveAcTable.begin(), liveAcTable.end(),
                                   [objectId](const LiveAc& a) { return a.objectId == objectId; });
    if (live != liveAcTable.end()) {
        if (live->state == AcState::liveryrespawn) {
            lf_returnToBuffer(*live);
            return;
        }
        // A parked aircraft the simulator took away on its own leaves its stand; a removal of ours freed it
        // already, and only a parked one holds the mark.
        if (live->state != AcState::removingfromsim && live->phase == AcPhase::parked) {
            gf_freeStand(live->standNumber, live->hexid);
        }
        if (live->hasFlightPlan != 0) {
            std::error_code error;
            std::filesystem::remove(gf_flightPlanPath(objectId), error);
            if (error) {
                gf_logText(fmt::format("gf_removeFlightPlan: {}", error.message()));
            }
        }
        swapAndPop(liveAcTable, live);
        return;
    }
    const auto found = std::find_if(staticAcTable.begin(), staticAcTable.end(),
                                    [objectId](const StaticAc& a) { return a.objectId == objectId; });
    if (found != staticAcTable.end()) {
        swapAndPop(staticAcTable, found);
    }
}

} // namespace zeph
