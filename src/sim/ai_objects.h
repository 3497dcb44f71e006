#pragma once
#include <cstdint>
#include <deque>
#include <string>

#include "model/records.h"
#include "model/sim_records.h"

// The AI objects the program creates, moves and removes in the simulator: the frame handler that sends the
// work lists, the records of creations on their way, and the removal of aircraft from the simulator.

namespace zeph {

// One client event to send with the next simulator frame.
struct QueuedClientEvent {
    std::uint32_t objectId = 0;
    std::uint32_t clientEvent = 0;
    std::uint32_t value = 0;
};
static_assert(sizeof(QueuedClientEvent) == 12);

// A creation sent and not yet matched with its new object: the send id of its packet (an exception for the
// creation names it), the aircraft's hexid, the callsign sent as tail number, which the simulator reports
// back as the new object's ATC ID, the creation's own request id, and the object the simulator made for it
// (0 until the simulator names it).
struct PendingCreation {
    std::uint32_t sendId = 0;
    std::uint32_t hexid = 0;
    std::string callsign;
    std::uint32_t requestId = 0;
    std::uint32_t objectId = 0;
};

// The frame handler, called by the dispatch procedure on every simulator frame (client thread). Sends the
// work of all lists in one go: positions, client events, creations, removals. A frame that finds
// simConnectMutex busy sends nothing and leaves the work for the next; in error state the work is dropped.
void lf_onFrame();

// Sends one creation with a request id of its own and keeps it as a PendingCreation, in send order, until
// the simulator reports or refuses the new object. A callsign too long for the tail-number field is sent, and
// kept, cut to its first 11 characters. Called by the frame handler with simConnectMutex held; its log lines
// and failures are reported by the frame handler once the lock is free.
void lf_createAcInSim(const AiCreateRequest& request);

// Asks the simulator to remove one AI object; the user's own aircraft and lower ids are never sent. Called
// by the frame handler with simConnectMutex held, which reports its log lines and failures afterwards.
void lf_removeAcFromSim(std::uint32_t objectId);

// Creation requests waiting for their turn with the simulator link, live and static aircraft apart. The
// traffic engine queues them; the handing over below takes them one at a time (traffic thread).
extern std::deque<AiCreateRequest> liveAddQueue;
extern std::deque<AiCreateRequest> staticAddQueue;
// Object ids whose removal is to be asked of the simulator.
extern std::deque<std::uint32_t> removalQueue;

// Hands a copy of a creation request to the frame handler's creation work list, under simConnectMutex
// (traffic thread).
void gf_queueAiCreation(const AiCreateRequest& request);

// Hands the oldest queued removal to the frame handler's removal work list, when there is one.
void gf_handOverRemoval();
// Hands the oldest creation request to the creation work list, live ones before static ones; true when a
// live one went.
bool gf_handOverCreation();

// Takes a live or static aircraft out of the simulator by its state, or out of the tables when it never got
// there; nothing for one already being removed (traffic thread).
void removeAircraftFromSim(StaticAc& aircraft);

// Takes the aircraft's queued creation request back out of its add queue: true when it was still queued
// (withdrawn; the next pass erases the record), else the record is marked gone and leaves when its creation
// is reported (traffic thread). The one withdrawal of a creation request.
bool gf_withdrawCreation(StaticAc& aircraft);

// Takes the requests of one aircraft (its callsign and hexid) out of an add queue, the others kept in order.
// False for an empty callsign or when none matched.
bool gf_removeFromQueue(std::deque<AiCreateRequest>& queue, const std::string& callsign, std::uint32_t hexid);

} // namespace zeph
