#include "traffic/making_way.h"

#include <fmt/format.h>

#include "state/seam_trace.h"

namespace zeph {

std::vector<std::string> ghostCallsigns;

// Minimal stand-ins until the making-way rules land.
void lf_collisionWithStatic(LiveAc& aircraft) {
    noteSeamCall(fmt::format("lf_collisionWithStatic {}", aircraft.hexid));
}

void lf_sameRegcodeOrCoupled(LiveAc& aircraft, bool onGround) {
    noteSeamCall(fmt::format("lf_sameRegcodeOrCoupled {} {}", aircraft.hexid, onGround ? 1 : 0));
}

void lf_removeAllStatic() { noteSeamCall("lf_removeAllStatic"); }

void lf_clearReservedStand() { noteSeamCall("lf_clearReservedStand"); }

void lf_removeStaticTwinOfLive() { noteSeamCall("lf_removeStaticTwinOfLive"); }

void lf_makeWay(LiveAc& aircraft, const ParkPos& stand) {
    noteSeamCall(fmt::format("lf_makeWay {} {}", aircraft.hexid, stand.number));
}

void lf_ghostCheck(const std::string& callsign) { noteSeamCall(fmt::format("lf_ghostCheck {}", callsign)); }

std::string lf_standText(std::uint32_t standNumber) {
    if (standNumber == 0) {
        return "sid==0?";
    }
    const ParkPos* stand = gf_standByNumber(standNumber);
    return stand != nullptr ? stand->id : "sid==?";
}

} // namespace zeph
