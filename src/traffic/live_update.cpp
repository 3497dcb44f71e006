#include "traffic/live_update.h"

#include <exception>

#include <fmt/format.h>

#include "core/log.h"
#include "model/flight_texts.h"
#include "sim/ai_objects.h"
#include "sim/sim_link.h"
#include "traffic/ground_motion.h"
#include "traffic/position_stream.h"
#include "traffic/spawning.h"
#include "traffic/traffic_tables.h"

namespace zeph {
namespace {

void removeEmptyStream(LiveAc& aircraft) {
    const PositionBlock& p = aircraft.position;
    gf_logLine(fmt::format("{} stream empty ? {}, hexid:{}, objectid:{}, alt:{:.0f} ft, lalo:{}, TAS:{:.0f}",
                           "updateLiveAc", gf_acLogPrefix(aircraft), aircraft.hexid, aircraft.objectId,
                           p.altitude, fmt::format("{:.6f},{:.6f}", p.latitude, p.longitude),
                           p.trueAirspeed));
    removeAircraftFromSim(aircraft);
}

void sendPosition(LiveAc& aircraft) {
    if (aircraft.objectId == 0) {
        gf_logLine(fmt::format("{} objectid=0? hexid: {},cs:{}, reg:{}, aimo:{} sz:{}", "updateLiveAc",
                               aircraft.hexid, aircraft.callsign, aircraft.registration,
                               gf_airlineTypeKey(aircraft.airline, aircraft.type), aircraft.stream.size()));
        removeAircraftFromSim(aircraft);
        return;
    }
    const PositionBlock& p = aircraft.position;
    // The write half is the traffic thread's between swaps: no lock.
    positionBuffers.writeHalf().push_back(AiPositionData{p.latitude, p.longitude, p.pitch, p.bank, p.heading,
                                                         p.altitude, p.verticalSpeed, p.trueAirspeed,
                                                         aircraft.objectId});
}

void updateActive(LiveAc& aircraft) {
    if (aircraft.stream.empty()) {
        removeEmptyStream(aircraft);
        return;
    }
    if (tickCounter.load() >= aircraft.stream.front().duePass) {
        nextPosMain(aircraft);
        if (aircraft.state != AcState::active || aircraft.stream.empty()) {
            return;
        }
        // The block keeps its speeds between segment starts.
        aircraft.position.verticalSpeed = aircraft.segmentVerticalRate / 60.0;
        aircraft.position.trueAirspeed =
            aircraft.stream.front().stationary != 0 ? 0.0 : aircraft.segmentTrueAirspeed;
    }
    if (aircraft.stream.front().stationary == 0) {
        lf_curveStep(aircraft);
    }
    sendPosition(aircraft);
}

void updateByState(LiveAc& aircraft) {
    switch (aircraft.state) {
    case AcState::buffer:
        lf_handleBufferedAc(aircraft);
        break;
    case AcState::active:
        updateActive(aircraft);
        break;
    case AcState::adding2sim:
    case AcState::liveryrespawn:
    case AcState::removingfromsim:
        break;
    }
}

} // namespace

bool updateLiveAc(LiveAc& aircraft) {
    try {
        updateByState(aircraft);
    } catch (const std::exception& error) {
        logMotionFailure("updateLiveAc", error, aircraft);
        // The same segment start would throw again every pass: the aircraft leaves instead.
        removeAircraftFromSim(aircraft);
    }
    return aircraft.remove != 0 || aircraft.withdrawn != 0;
}

} // namespace zeph
