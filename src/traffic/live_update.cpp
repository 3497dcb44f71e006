#include "traffic/live_update.h"

#include "sim/sim_link.h"
#include "traffic/spawning.h"

namespace zeph {

// Minimal body, completed by the motion rules: a buffered record goes to the spawning, an active one sends
// its position block as it is.
bool updateLiveAc(LiveAc& aircraft) {
    if (aircraft.state == AcState::buffer) {
        lf_handleBufferedAc(aircraft);
    } else if (aircraft.state == AcState::active && aircraft.objectId != 0) {
        const PositionBlock& p = aircraft.position;
        positionBuffers.writeHalf().push_back(AiPositionData{p.latitude, p.longitude, p.pitch, p.bank,
                                                             p.heading, p.altitude, p.verticalSpeed,
                                                             p.trueAirspeed, aircraft.objectId});
    }
    return aircraft.remove != 0 || aircraft.withdrawn != 0;
}

} // namespace zeph
