#include "sim/ai_objects.h"

#include <algorithm>
#include <cstdint>
#include <limits>
#include <mutex>
#include <string>
#include <vector>

#include <fmt/format.h>

#include "airports/stands.h"
#include "core/log.h"
#include "core/time_text.h"
#include "model/flight_texts.h"
#include "sim/sim_ids.h"
#include "sim/sim_link.h"
#include "sim/simconnect/calls.h"
#include "sim/user_aircraft.h"
#include "state/status_line.h"

namespace zeph {

std::deque<AiCreateRequest> liveAddQueue;
std::deque<AiCreateRequest> staticAddQueue;
std::deque<std::uint32_t> removalQueue;

namespace {

// The simulator's tail-number field holds this many characters.
constexpr std::size_t kLongestTailNumber = 11;
// The bytes of a position record that definition 402 describes: its eight doubles.
constexpr std::uint32_t kPositionBytes = 64;

// What a frame has to report, kept while simConnectMutex is held and reported in order once it is free:
// the log, the status line, the exit reason and the result queue take locks of their own, and the producers
// waiting for simConnectMutex must not wait for those too. Client thread only.
struct FrameReport {
    enum class Kind { plainLine, eventLine, status, requestError, refusedCreation };
    Kind kind;
    std::string text;
    std::uint32_t hexid = 0;
};
std::vector<FrameReport> frameReports;

// The request id of the next creation. Client thread only.
std::uint32_t nextCreationRequest = simid::kFirstCreationRequest;

// Never one of the fixed request ids, also after the count wraps.
std::uint32_t takeCreationRequest() {
    const std::uint32_t id = nextCreationRequest;
    nextCreationRequest =
        id == std::numeric_limits<std::uint32_t>::max() ? simid::kFirstCreationRequest : id + 1;
    return id;
}

void report(FrameReport::Kind kind, std::string text = {}) {
    frameReports.push_back({kind, std::move(text)});
}

void emptyWorkLists() {
    positionBuffers.sendHalf().clear();
    clientEventWork.clear();
    creationWork.clear();
    removalWork.clear();
}

void sendPositions(SimConnectClient* handle) {
    std::vector<AiPositionData>& sendHalf = positionBuffers.sendHalf();
    // Never the user's own aircraft, nor an object that is not one of the program's.
    const std::uint32_t userObject = userAcObjectId.load();
    for (const AiPositionData& position : sendHalf) {
        if (position.objectId > userObject) {
            SimConnect_SetDataOnSimObject(handle, simid::kDefinePosition, position.objectId, 0, 0,
                                          kPositionBytes, &position);
        }
    }
    sendHalf.clear();
}

// The simulator's AI holds the flaps of an object it controls: it lets go for the change and again after.
void sendClientEvents(SimConnectClient* handle) {
    for (const QueuedClientEvent& event : clientEventWork) {
        const bool flaps = event.clientEvent == simid::kEventFlaps;
        if (flaps) {
            SimConnect_AIReleaseControl(handle, event.objectId, simid::kRequestReleaseControl);
        }
        if (SimConnect_TransmitClientEvent(handle, event.objectId, event.clientEvent, event.value,
                                           simid::kGroup, 0) < 0) {
            report(FrameReport::Kind::status,
                   fmt::format("SimConnect TransmitClientEvent: {} fails", event.clientEvent));
            continue;
        }
        if (flaps) {
            SimConnect_AIReleaseControl(handle, event.objectId, simid::kRequestReleaseControl);
        }
    }
    clientEventWork.clear();
}

void reportFrame() {
    for (const FrameReport& r : frameReports) {
        switch (r.kind) {
        case FrameReport::Kind::plainLine:
            gf_logText(r.text);
            break;
        case FrameReport::Kind::eventLine:
            gf_logLine(r.text);
            break;
        case FrameReport::Kind::status:
            gf_setStatus(r.text, true);
            break;
        case FrameReport::Kind::requestError:
            lf_simRequestError();
            break;
        case FrameReport::Kind::refusedCreation: {
            const std::lock_guard lock(simResultMutex);
            simResultQueue.push_back({0, r.hexid, 0, 6, 0.0, 0.0});
            break;
        }
        }
    }
    frameReports.clear();
}

} // namespace

void lf_onFrame() {
    if (simConnectError.load()) {
        const std::lock_guard lock(simConnectMutex);
        emptyWorkLists();
        return;
    }
    {
        // Only tried: a producer holding the lock must never hold up the simulator's frames. Everything
        // waits for the next frame then.
        const std::unique_lock lock(simConnectMutex, std::try_to_lock);
        if (!lock.owns_lock()) {
            return;
        }
        SimConnectClient* handle = simClientHandle;
        sendPositions(handle);
        sendClientEvents(handle);
        // A failed call does not stop either loop: the rest of the list still goes out in this frame.
        for (const AiCreateRequest& request : creationWork) {
            lf_createAcInSim(request);
        }
        creationWork.clear();
        for (const std::uint32_t objectId : removalWork) {
            lf_removeAcFromSim(objectId);
        }
        removalWork.clear();
    }
    reportFrame();
}

void lf_createAcInSim(const AiCreateRequest& request) {
    const std::string& title = request.livery;
    // Callsigns come from the network without a length limit; one the tail-number field cannot hold would
    // fail the call and end the run, and the aircraft would come back after the restart. The cut callsign is
    // also the one kept for matching, since the simulator reports it back as the ATC ID.
    std::string callsign = request.callsign;
    if (callsign.size() > kLongestTailNumber) {
        callsign.resize(kLongestTailNumber);
        report(FrameReport::Kind::plainLine,
               fmt::format("! callsign {} cut to {} for the simulator", request.callsign, callsign));
    }
    const std::uint32_t requestId = takeCreationRequest();
    const std::int32_t result = SimConnect_AICreateNonATCAircraft(
        simClientHandle, title.c_str(), callsign.c_str(), &request.position, requestId);
    if (result < 0) {
        report(FrameReport::Kind::eventLine,
               fmt::format("! Simcon call to create ac in sim failed, hexid:{}, liv: '{}', callsign: {})",
                           request.hexid, title, callsign));
        // A title too long for the simulator can never be created: the livery is refused like one the
        // simulator rejects, and the run goes on.
        if (result == E_INSUFFICIENT_BUFFER) {
            if (request.hexid != 0) {
                frameReports.push_back({FrameReport::Kind::refusedCreation, {}, request.hexid});
            }
            return;
        }
        report(FrameReport::Kind::requestError);
        return;
    }
    std::uint32_t sendId = 0;
    if (SimConnect_GetLastSentPacketID(simClientHandle, &sendId) != 0) {
        report(FrameReport::Kind::eventLine, "GetLastSentPacketID");
        sendId = 0;
    }
    pendingCreations.push_back({sendId, request.hexid, std::move(callsign), requestId});
}

void lf_removeAcFromSim(std::uint32_t objectId) {
    if (objectId <= userAcObjectId.load()) {
        report(FrameReport::Kind::eventLine,
               fmt::format("SimConnect call to remove ac with objectid {}", objectId));
        return;
    }
    if (SimConnect_AIRemoveObject(simClientHandle, objectId, simid::kRequestRemoveObject) < 0) {
        report(FrameReport::Kind::eventLine,
               fmt::format("{} !SimConnect call to remove AI ac from sim failed, id {}?", gf_utcClockText(),
                           objectId));
        report(FrameReport::Kind::requestError);
    }
}

void gf_queueAiCreation(const AiCreateRequest& request) {
    const std::lock_guard lock(simConnectMutex);
    creationWork.push_back(request);
}

void gf_handOverRemoval() {
    if (removalQueue.empty()) {
        return;
    }
    {
        const std::lock_guard lock(simConnectMutex);
        removalWork.push_back(removalQueue.front());
    }
    removalQueue.pop_front();
}

bool gf_handOverCreation() {
    if (!liveAddQueue.empty()) {
        gf_queueAiCreation(liveAddQueue.front());
        liveAddQueue.pop_front();
        return true;
    }
    if (!staticAddQueue.empty()) {
        gf_queueAiCreation(staticAddQueue.front());
        staticAddQueue.pop_front();
    }
    return false;
}

namespace {

void freeStandOf(const StaticAc& aircraft) {
    if (aircraft.hexid <= kLastStaticHexid || aircraft.standNumber == 0) {
        return;
    }
    gf_freeStand(aircraft.standNumber, aircraft.hexid);
}

} // namespace

void removeAircraftFromSim(StaticAc& aircraft) {
    if (aircraft.state == AcState::buffer) {
        aircraft.remove = 1;
        return;
    }
    // A removal already asked goes out once: a second would free the stand again, which another aircraft may
    // hold by now, and send the same object id twice.
    if (aircraft.gone != 0 || aircraft.state == AcState::removingfromsim) {
        return;
    }
    if (aircraft.state == AcState::adding2sim) {
        // A creation withdrawn stands nowhere: a parked spawn gives its stand back.
        if (gf_withdrawCreation(aircraft)) {
            freeStandOf(aircraft);
        }
        return;
    }
    freeStandOf(aircraft);
    // A respawn has queued the removal of its object already; the record now goes for good instead.
    const bool queued = aircraft.state == AcState::liveryrespawn;
    aircraft.state = AcState::removingfromsim;
    if (queued) {
        return;
    }
    if (aircraft.objectId != 0) {
        removalQueue.push_back(aircraft.objectId);
        return;
    }
    gf_logLine(fmt::format("{} removing act {}, with objectid=0 ?", "removeAircraftFromSim",
                           gf_acLogPrefix(aircraft)));
    // No removal will ever be reported for an object that was never created: the next pass erases the
    // record, or its hexid would block the aircraft for good.
    aircraft.remove = 1;
}

bool gf_withdrawCreation(StaticAc& aircraft) {
    // A request waits in the queue of its kind: statics have the low hexids.
    std::deque<AiCreateRequest>& queue = aircraft.hexid <= kLastStaticHexid ? staticAddQueue : liveAddQueue;
    if (gf_removeFromQueue(queue, aircraft.callsign, aircraft.hexid)) {
        aircraft.withdrawn = 1;
        return true;
    }
    aircraft.gone = 1;
    return false;
}

bool gf_removeFromQueue(std::deque<AiCreateRequest>& queue, const std::string& callsign,
                        std::uint32_t hexid) {
    if (callsign.empty()) {
        return false;
    }
    // Two aircraft may share a callsign (other types, learned static callsigns): the hexid tells them apart.
    const auto removed = std::erase_if(
        queue, [&](const AiCreateRequest& r) { return r.callsign == callsign && r.hexid == hexid; });
    return removed != 0;
}

} // namespace zeph
