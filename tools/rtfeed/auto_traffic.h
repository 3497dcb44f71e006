#pragma once
// The aircraft the stand-in flies around the user on its own: each circles the user position at its own
// distance (1 to 4 nm), altitude (3000 to 9000 ft) and speed (160 to 250 kt).
#include <vector>

#include "rtfeed/position_line.h"
#include "rtfeed/traffic_line.h"

namespace zeph::rtfeed {

// The first hexid of the automatic aircraft; the callsigns run FEED001, FEED002, ...
inline constexpr unsigned kFirstAutoHexid = 5000001;

// The traffic lines of aircraft 0 to count-1, elapsedSeconds after they started, around the user's
// position, with utcSeconds in the time field.
std::vector<TrafficLine> autoTrafficLines(int count, const PositionReport& user, double elapsedSeconds,
                                          double utcSeconds);

} // namespace zeph::rtfeed
