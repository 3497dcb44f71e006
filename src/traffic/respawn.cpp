#include "traffic/respawn.h"

namespace zeph {

// Minimal body, completed by the respawn rules: every report is taken.
bool lf_respawnCheck(LiveAc& /*aircraft*/, const TrafficReport& /*report*/) { return true; }

} // namespace zeph
