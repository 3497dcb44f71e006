#pragma once

// The choice of a livery for a live aircraft. A minimal stand-in until the livery matching lands.

namespace zeph {

struct AcProfile;

// Sets the profile's livery to the first title installed for its airline and type that has not failed in
// the simulator, else the first such generic title ("ZZZ") of its type, with the reversed-throttle flag
// when the title holds "FSLTL_"; leaves the livery empty when none is found. Traffic thread.
void gf_matchLiveryLive(AcProfile& aircraft);

} // namespace zeph
