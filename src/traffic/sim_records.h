#pragma once
#include <cstdint>
#include <string>

// The records the traffic engine hands to the simulator link. Placeholders for now: the traffic engine
// completes them with their fields.

namespace zeph {

// The initial position of an AI creation.
struct AiInitPosition {};

// One AI creation, handed from an add queue to the simulator link's creation work list.
struct AiCreateRequest {
    AiInitPosition position;
    std::string callsign;
    std::uint32_t hexid = 0;
};

// One position of an AI object, sent at the next simulator frame.
struct AiPositionData {
    std::uint32_t objectId = 0;
};

} // namespace zeph
