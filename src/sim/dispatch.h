#pragma once
#include <cstdint>

#include "sim/simconnect/messages.h"

// What the program does with each message the simulator sends. Everything here runs on the client thread,
// inside SimConnect_CallDispatch. Every byte is untrusted: a message too short for what its handler reads
// is logged and skipped. Handlers may throw UserErrorException (a refused simulator or version); it leaves
// through SimConnect_CallDispatch to the client thread.

namespace zeph {

// The dispatch procedure: routes a message by its id. A null message does nothing.
void lf_dispatchProc(const std::uint8_t* message, std::uint32_t size, void* context);

// The open reply: the simulator's name and version into the simulator panel, and the checks that refuse
// MSFS and a wrong major version (UserErrorException 78).
void lf_onOpen(MessageBytes message);
// An exception the simulator reports about one of the program's packets.
void lf_onException(MessageBytes message);
// ObjectAdded and ObjectRemoved for aircraft.
void lf_onObjectAddRemove(MessageBytes message);
// Replies to requests on one object.
void lf_onSimObjectData(MessageBytes message);
// Replies to the aircraft-in-range request: the program's new AI objects are recognised here.
void lf_onSimObjectDataByType(MessageBytes message);

} // namespace zeph
