#pragma once
#include <array>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>

#include "sim/simconnect/transport.h"
#include "sim/simconnect/wire.h"

// The SimConnect client object behind a handle: its transport, the packet area where every request packet
// is built, the send-id counter and the queue of received messages that SimConnect_CallDispatch drains.

namespace zeph {

// The waits of connecting and closing. Only tests change them.
struct SimConnectTimings {
    std::chrono::milliseconds closeBefore{100};
    std::chrono::milliseconds closeAfter{250};
    std::chrono::milliseconds transportPoll{250};
    int transportPolls = 20;
    std::chrono::milliseconds pipeBusyWait{5000};
    std::chrono::milliseconds tcpConnectLimit{21000};
};
SimConnectTimings simConnectTimings();
void setSimConnectTimingsForTest(const SimConnectTimings& timings);

// Called with each received message on the thread that dispatches, never on an I/O thread.
using SimConnectDispatchProc = void (*)(const std::uint8_t* message, std::uint32_t size, void* context);

// Called on an I/O thread after each queued message and when the transport closes on an error, in place of
// posting to a window or setting an event: whoever waits for messages wakes up and dispatches.
using SimConnectNotify = std::function<void()>;

class SimConnectClient {
public:
    explicit SimConnectClient(TransportKind kind);
    ~SimConnectClient();
    SimConnectClient(const SimConnectClient&) = delete;
    SimConnectClient& operator=(const SimConnectClient&) = delete;

    SimConnectTransport transport;
    const std::uint64_t uid; // never reused in the process, unlike the client's address

    // Guarded by the packet-area lock (PacketAreaLock).
    std::array<std::uint8_t, scwire::kPacketAreaSize> packetArea{};
    std::size_t writePos = 0;
    std::uint32_t sendIdCounter = 0; // the send id of the packet reserved last; 0 before the first

    // Guarded by mutex.
    std::mutex mutex;
    std::deque<SimConnectMessage> received;
    std::shared_ptr<const SimConnectNotify> notify;
    void* notifyWindow = nullptr;
    std::uint32_t notifyMessage = 0;
    void* notifyEvent = nullptr;
    SimConnectDispatchProc lastProcedure = nullptr;
    void* lastContext = nullptr;
};

// The one process-wide lock of every client's packet area. A packet call holds it from reserving its
// room until the packet is handed to the transport, so a packet is never sent half-filled and the area is
// empty whenever a call starts.
class PacketAreaLock {
public:
    PacketAreaLock();
    PacketAreaLock(const PacketAreaLock&) = delete;
    PacketAreaLock& operator=(const PacketAreaLock&) = delete;

private:
    std::lock_guard<std::mutex> guard_;
};

// Creates a client with a transport of that kind and puts it in the process-wide list. The pointer is the
// handle; lf_closeClient destroys the client.
SimConnectClient* lf_createClient(TransportKind kind);

// 0: packet points at size zero bytes of the area whose offset 12 holds the new send id. 1: no client, or
// the packet does not fit the free room (no send id is used then). 2: the transport has failed.
int lf_getPacketBuffer(const PacketAreaLock& lock, SimConnectClient* client, std::uint8_t** packet,
                       std::size_t size);
// Gives a reservation back: the write position returns to the packet's start and its bytes are zeroed.
// The send id it used is not given out again.
int lf_releasePacketBuffer(const PacketAreaLock& lock, SimConnectClient* client, std::uint8_t* packet,
                           std::size_t size);
// Hands the used part of the area to the transport as one message and empties the area. 0 when a message
// was handed over, 1 when there was nothing to send, no client, or the transport refused it.
int lf_sendPacket(const PacketAreaLock& lock, SimConnectClient* client);

// The send id the calling thread reserved last on this client; when it has reserved none there, the
// client's last reserved id. Under the packet-area lock.
std::uint32_t lf_lastSentPacketId(const PacketAreaLock& lock, const SimConnectClient& client);

int lf_setNotifyTarget(SimConnectClient* client, SimConnectNotify callback, void* window,
                       std::uint32_t message, void* event);

// The received-message entry of the transport: queues the message and notifies.
void lf_queueReceivedMessage(SimConnectClient& client, SimConnectMessage message);
// The notification of an error close.
void lf_notifyClient(SimConnectClient& client);

// Hands every waiting message of 12 bytes or more to the procedure, in order of arrival, on the calling
// thread. Returns the transport's failure code once the queue is empty and the transport has failed, else
// S_OK; E_FAIL for a null client or procedure. An exception of the procedure leaves at once; the messages
// behind the one in hand stay queued.
std::int32_t lf_dispatchMessages(SimConnectClient* client, SimConnectDispatchProc procedure, void* context);

// Closes and destroys the client, with the waits before and after; the last client also waits for every
// transport to be gone and cleans up the socket layer. 1 for a null client, else 0.
int lf_closeClient(SimConnectClient* client);

// Clients alive in the process, and clients made since it started.
int lf_clientCount();
std::uint64_t lf_clientsCreated();

} // namespace zeph
