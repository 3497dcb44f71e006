#pragma once
#include <cstdint>
#include <string>
#include <vector>

// The stands of the active park airport. A minimal stand-in until the stands land.

namespace zeph {

struct ParkPos {
    std::string id;           // the stand's name
    std::uint32_t number = 0; // the stand id of plans and aircraft records; 0 is never a stand
};

// The stands of the park airport; the traffic thread's.
extern std::vector<ParkPos> standList;

} // namespace zeph
