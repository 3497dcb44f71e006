#include "app/window_requests.h"

#include <algorithm>
#include <cstdint>
#include <optional>

#include "settings/parameter_table.h"
#include "sim/commands.h"
#include "state/run_state.h"
#include "traffic/live_table_services.h"
#include "traffic/park_airport_status.h"
#include "traffic/traffic_tables.h"

namespace zeph {

namespace {

std::int32_t countActiveLive() {
    return static_cast<std::int32_t>(
        std::count_if(liveAcTable.begin(), liveAcTable.end(),
                      [](const LiveAc& ac) { return ac.state == AcState::active; }));
}

// Each removal leaves the aircraft in the table on its way out, so the count goes down by hand.
void enforceLiveLimit() {
    const std::int32_t limit = MAX_LIVE_SEL.get();
    for (std::int32_t count = countActiveLive(); count > limit; --count) {
        if (lf_removeFarthestLive(-1.0)) {
            break;
        }
    }
}

void sendParkedNavLights() {
    const std::uint32_t value = NAV_LIGHTS_WHILE_PARKED.get() ? 1 : 0;
    for (const StaticAc& aircraft : staticAcTable) {
        if (aircraft.state == AcState::active) {
            gf_setNavLights(aircraft.objectId, value);
        }
    }
    for (const LiveAc& aircraft : liveAcTable) {
        if (aircraft.state == AcState::active && aircraft.phase == AcPhase::parked) {
            gf_setNavLights(aircraft.objectId, value);
        }
    }
}

} // namespace

void lf_serveWindowRequests() {
    if (maxLiveSelChanged.exchange(false)) {
        enforceLiveLimit();
    }
    if (navLightsChanged.exchange(false)) {
        sendParkedNavLights();
    }
    if (const std::optional<DestinationRequest> destination = takeDestinationRequest()) {
        lf_updateParkAirportList(destination->code, destination->position);
    }
}

} // namespace zeph
