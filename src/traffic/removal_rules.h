#pragma once
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

// The removal rules outside the stream logic: blocked callsigns, the limit of parked aircraft, the user
// aircraft in the air, and two live aircraft for one stand. Traffic thread.

namespace zeph {

// A blocked callsign reported by the simulator link: a buffered aircraft is erased, an active one removed.
void lf_callsignBlocked(std::uint32_t hexid);
// At most one live and one static parked aircraft go when the parked aircraft (plus extra) exceed the
// wanted static count.
void lf_maxParkExceeded(std::uint8_t extra);
// The active live aircraft parked at a stand as (hexid, seconds parked), longest first.
void lf_listLongestParked(std::vector<std::pair<std::uint32_t, std::int64_t>>& list);
// Removes the count longest parked live aircraft.
void lf_removeLiveParked(int count);
// Removes the first active live aircraft in the way of the flying user aircraft; at most one a call.
void lf_avoidUserAircraft();
// Whether a live newcomer with this callsign may take the stand; removes the aircraft there when it gives
// way.
bool lf_sameCallsignOrGhost(std::uint32_t standNumber, const std::string& callsign);

} // namespace zeph
