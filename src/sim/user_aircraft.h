#pragma once
#include <cstdint>
#include <string>
#include <string_view>

#include "state/user_position.h"

// The user's own aircraft as the simulator link learns it: the requests and the reply handlers. The values
// they learn, and their lock, are in state/user_position.h.

namespace zeph {

struct ScObjectData;

// Asks the simulator once more for the user record (request 109), unless a request has failed in this run,
// and returns a copy of the last reply's record: the answer to this request comes later. A failed request
// is logged and ends the run as SIMCONNECT ERROR. Any thread but the client thread.
UserAcPosition gf_getUserAcPosition();

// Asks once for the user aircraft's title (106) and model (107); a failed request is logged and ends the
// run as SIMCONNECT ERROR, the second is made either way.
void gf_requestUserAcTitleModel();

// Waits until a simulation runs, starts the one-second request (108), and polls the user record every
// 500 ms until the position and the on-ground state are known; then asks for the title and model. False when
// the run stops meanwhile.
bool lf_waitForUserAircraft();

// Replies about the user aircraft, on the client thread: the title (request 106), the model (107), the
// on-ground state (108) and the position record (109). Records too short or with non-finite numbers are
// logged and dropped. The model handler throws UserErrorException 71 for an empty model and 73 for any
// other failure, which ends the connection.
void lf_onUserAcTitle(const ScObjectData& reply);
void lf_onUserAcModel(const ScObjectData& reply);
void lf_onUserOnGround(const ScObjectData& reply);
void lf_onUserPosition(const ScObjectData& reply);

// Remembers the stand at which the user aircraft stands, at rest, as the reserved stand of the current park
// airport and writes my_park_airports.txt. On the client thread: on a new flight and when it ends.
void lf_checkUserAirport();

// The title as kept: at most 48 bytes, cut back to the start of a UTF-8 sequence the cut would split.
std::string userTitleOf(std::string_view title);

// Days since 1970-01-01 of the zulu day of year in a zulu year (its low 16 bits count).
std::int64_t daysSince1970(std::int64_t zuluYear, std::int64_t dayOfYear);

} // namespace zeph
