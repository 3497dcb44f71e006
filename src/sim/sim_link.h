#pragma once
#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <mutex>
#include <stop_token>
#include <string>
#include <vector>

#include "core/owned_mutex.h"
#include "model/sim_records.h"
#include "sim/ai_objects.h"

// The simulator link's state, shared with the rest of the program, and its client thread.

namespace zeph {

class SimConnectClient;

// A simulation runs (the connection is up and the flight runs).
extern std::atomic<bool> simConnected;
// A SimConnect call has failed in this run; cleared by gf_initSimLink and the reset.
extern std::atomic<bool> simConnectError;
// Guards the work lists, the send half of positionBuffers and the swap of the halves, and the copy out of
// simUserData, and every SimConnect call made off the client thread (those read simClientHandle under it).
extern OwnedMutex simConnectMutex;

// The connection of this run; null while there is none. Written only by the client thread, under
// simConnectMutex; other threads read it only under simConnectMutex.
extern SimConnectClient* simClientHandle;

// Two lists of positions: the traffic thread fills the write half, the frame handler sends the send half.
class PositionBuffers {
public:
    std::vector<AiPositionData>& writeHalf() { return halves_[writeIndex_]; }
    std::vector<AiPositionData>& sendHalf() { return halves_[1 - writeIndex_]; }
    void swap() { writeIndex_ = 1 - writeIndex_; }
    void reserve(std::size_t count);
    // Both halves emptied; the write half is the first list again.
    void reset();
    std::array<std::vector<AiPositionData>, 2>& halves() { return halves_; }

private:
    std::array<std::vector<AiPositionData>, 2> halves_;
    std::size_t writeIndex_ = 0;
};
extern PositionBuffers positionBuffers;

// The work lists, sent at the next frame; under simConnectMutex.
extern std::vector<AiCreateRequest> creationWork;
extern std::vector<QueuedClientEvent> clientEventWork;
extern std::vector<std::uint32_t> removalWork;
// Touched only on the client thread.
extern std::vector<PendingCreation> pendingCreations;
extern std::vector<std::uint32_t> newObjectIds;

// What the simulator reports about an AI object, for the traffic engine. kind: 0 created live aircraft,
// 1 created static aircraft, 2 removed, 3 existing traffic in range, 6 creation refused, 7 created but
// removed before it was matched (kResultCreationLost). hexid is the aircraft's hexid or a flag; counter is
// the engine's own use.
struct SimResult {
    std::uint32_t objectId = 0;
    std::uint32_t hexid = 0;
    std::int32_t counter = 0;
    std::uint32_t kind = 0;
    double value1 = 0.0;
    double value2 = 0.0;
};
static_assert(sizeof(SimResult) == 32);
// The object made for a creation went before the creation was matched to it: the aircraft was never ours to
// move, and it is no refusal of its livery.
inline constexpr std::uint32_t kResultCreationLost = 7;

// Results from the client thread to the traffic pass; guarded by simResultMutex, never held together with
// simConnectMutex.
extern std::vector<SimResult> simResultQueue;
extern std::mutex simResultMutex;

// The SimConnect requests the traffic engine makes itself. The caller always holds simConnectMutex; the
// methods never lock. Results are HRESULTs: negative is a failure. The default port calls the client through
// simClientHandle and answers 0x80004005 while there is no connection.
class SimCallPort {
public:
    virtual ~SimCallPort() = default;
    virtual std::int32_t requestDataOnSimObjectType(std::uint32_t requestId, std::uint32_t defineId,
                                                    std::uint32_t radiusMeters, std::uint32_t objectType) = 0;
    // Data of one object (static CG, the user's position), sent with the given period.
    virtual std::int32_t requestDataOnSimObject(std::uint32_t requestId, std::uint32_t defineId,
                                                std::uint32_t objectId, std::uint32_t period) = 0;
    // Hands an AI object the flight plan in the file at path.
    virtual std::int32_t setAiFlightPlan(std::uint32_t objectId, const std::string& path,
                                         std::uint32_t requestId) = 0;
    virtual std::int32_t transmitClientEvent(std::uint32_t objectId, std::uint32_t eventId,
                                             std::uint32_t data, std::uint32_t groupId,
                                             std::uint32_t flags) = 0;
    // Writes count x unitSize bytes of a data definition to an object (a count of 0 counts as 1).
    virtual std::int32_t setDataOnSimObject(std::uint32_t defineId, std::uint32_t objectId,
                                            std::uint32_t flags, std::uint32_t arrayCount,
                                            std::uint32_t unitSize, const void* data) = 0;
};
// The installed port; by default the one that calls the client.
SimCallPort& gf_simCalls();
// Installs a port (tests, the client); nullptr restores the default.
void gf_installSimCalls(SimCallPort* port);

extern std::atomic<float> simFrameRate;
// The simulator's major version of this run (P3D_VERSION).
extern std::atomic<std::uint32_t> simMajorVersion;
// Frames since the frame rate was last taken; set to 0 when the client thread starts. Only the client
// thread writes it.
extern std::atomic<std::int32_t> simFrameCounter;

// The simulator's major version as text: "5" when SIM_INSTALL_PATH holds "v5" or "V5", else "6" when it
// holds "v6" or "V6", else P3D_VERSION when it is 5 or more. Throws UserErrorException 77 otherwise.
std::string lf_simMajorVersion();

// Start of every run, before the client thread: stores the major version, reserves the work lists and clears
// simConnectError.
void gf_initSimLink(std::uint32_t majorVersion);

// The client thread: waits for the simulator (opening every 100 ms), declares what the program needs, then
// dispatches every message about once a millisecond until a stop is requested or the connection is lost,
// and closes. It never reconnects: a new connection needs a new run.
void lf_simClientThread(const std::stop_token& stop);

// The common failure path of every SimConnect request: status, simConnectError and SIMCONNECT ERROR (9 s).
void lf_simRequestError();
// The simulator has gone: ends the run as SIM WAS CLOSED, unless it is already stopping.
void lf_simulatorLost();

// The simulator link's state back to its start before a restarted run: every list empty, the handle null,
// the major version from P3D_VERSION. The client thread has been joined before.
void gf_resetSimLink();

} // namespace zeph
