#pragma once
#include <cstdint>
#include <string>

#include "traffic/records.h"

// The AI objects the program creates, moves and removes in the simulator. Placeholders for now: the
// simulator link completes the records, the traffic engine the removal.

namespace zeph {

// One client event to send with the next simulator frame.
struct QueuedClientEvent {
    std::uint32_t objectId = 0;
    std::uint32_t clientEvent = 0;
    std::uint32_t value = 0;
};

// A creation sent and not yet matched with its new object.
struct PendingCreation {
    std::string callsign;
    std::uint32_t hexid = 0;
};

// Takes an aircraft out of the simulator, or out of the tables when it never got there. Minimal stand-in
// until the simulator link lands: a buffered record is flagged for removal, any other goes to
// removingfromsim.
void removeAircraftFromSim(StaticAc& aircraft);

} // namespace zeph
