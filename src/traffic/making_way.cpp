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

} // namespace zeph
