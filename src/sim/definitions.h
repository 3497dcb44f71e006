#pragma once
#include <cstdint>

// What the program declares to the simulator right after a connection opens: the system events it
// subscribes to, its data definitions, its client events and their notification group.

namespace zeph {

// Subscriptions, definitions, event mappings, group additions and the group's priority, in that order, on
// simClientHandle. Called by the client thread only. The results are not looked at: a declaration the
// simulator refuses comes back as an exception message.
void lf_setupSimDefinitions();

// Adds a client event to the program's notification group, maskable.
void lf_addToNotificationGroup(std::uint32_t eventId);

} // namespace zeph
