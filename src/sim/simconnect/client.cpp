#include "sim/simconnect/client.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <new>
#include <thread>
#include <vector>

#include "platform/tcp_connect.h"
#include "sim/simconnect/messages.h"

namespace zeph {

namespace {

std::mutex& packetAreaMutex() {
    static std::mutex mutex;
    return mutex;
}

std::mutex timingsMutex;
SimConnectTimings currentTimings;

std::mutex clientListMutex;
std::vector<SimConnectClient*> clientList; // in order of creation

std::atomic<int> clientCount{0};
std::atomic<std::uint64_t> clientUidCounter{0};

// The send id this thread reserved last, and on which client.
struct LastReserved {
    std::uint64_t clientUid = 0;
    std::uint32_t sendId = 0;
};
thread_local LastReserved lastReserved;

void unlinkClient(SimConnectClient* client) {
    std::lock_guard lock(clientListMutex);
    std::erase(clientList, client);
}

bool noClientListed() {
    std::lock_guard lock(clientListMutex);
    return clientList.empty();
}

} // namespace

SimConnectTimings simConnectTimings() {
    std::lock_guard lock(timingsMutex);
    return currentTimings;
}

void setSimConnectTimingsForTest(const SimConnectTimings& timings) {
    std::lock_guard lock(timingsMutex);
    currentTimings = timings;
}

SimConnectClient::SimConnectClient(TransportKind kind)
    : transport(kind), uid(clientUidCounter.fetch_add(1) + 1) {
    clientCount.fetch_add(1);
    transport.setEvents(TransportEvents{
        [this](SimConnectMessage message) { lf_queueReceivedMessage(*this, std::move(message)); },
        [this] { lf_notifyClient(*this); },
    });
}

SimConnectClient::~SimConnectClient() {
    // The I/O threads call back into this object: they end before any member goes away.
    transport.closeAndJoin();
    clientCount.fetch_sub(1);
}

PacketAreaLock::PacketAreaLock() : guard_(packetAreaMutex()) {}

SimConnectClient* lf_createClient(TransportKind kind) {
    auto client = std::make_unique<SimConnectClient>(kind);
    std::lock_guard lock(clientListMutex);
    clientList.push_back(client.get());
    return client.release();
}

int lf_getPacketBuffer(const PacketAreaLock&, SimConnectClient* client, std::uint8_t** packet,
                       std::size_t size) {
    if (packet != nullptr) {
        *packet = nullptr;
    }
    if (client == nullptr || packet == nullptr) {
        return 1;
    }
    if (client->transport.hasFailed()) {
        return 2;
    }
    if (size < scwire::kHeaderSize || client->packetArea.size() - client->writePos < size) {
        return 1;
    }
    std::uint8_t* start = client->packetArea.data() + client->writePos;
    std::uint32_t sendId = client->sendIdCounter + 1;
    if (sendId == 0) {
        sendId = 1; // 0 is never a send id
    }
    client->sendIdCounter = sendId;
    storeU32(start + scwire::kSendId, sendId);
    client->writePos += size;
    lastReserved = LastReserved{client->uid, sendId};
    *packet = start;
    return 0;
}

int lf_releasePacketBuffer(const PacketAreaLock&, SimConnectClient* client, std::uint8_t* packet,
                           std::size_t size) {
    if (client == nullptr || packet == nullptr) {
        return 0;
    }
    auto areaStart = reinterpret_cast<std::uintptr_t>(client->packetArea.data());
    auto packetStart = reinterpret_cast<std::uintptr_t>(packet);
    if (packetStart < areaStart || packetStart - areaStart + size > client->writePos) {
        return 0; // not a reservation of this area
    }
    std::memset(packet, 0, size);
    client->writePos = packetStart - areaStart;
    return 0;
}

int lf_sendPacket(const PacketAreaLock&, SimConnectClient* client) {
    if (client == nullptr || client->writePos == 0) {
        return 1;
    }
    std::size_t used = client->writePos;
    std::shared_ptr<std::uint8_t[]> bytes;
    try {
        bytes = std::make_shared_for_overwrite<std::uint8_t[]>(used);
    } catch (const std::bad_alloc&) {
        // No memory for the copy: the packet is dropped like one the transport refuses.
    }
    bool handed = false;
    if (bytes) {
        std::memcpy(bytes.get(), client->packetArea.data(), used);
        handed =
            client->transport.send(SimConnectMessage{std::move(bytes), static_cast<std::uint32_t>(used), 0});
    }
    std::memset(client->packetArea.data(), 0, used);
    client->writePos = 0;
    return handed ? 0 : 1;
}

std::uint32_t lf_lastSentPacketId(const PacketAreaLock&, const SimConnectClient& client) {
    if (lastReserved.clientUid == client.uid) {
        return lastReserved.sendId;
    }
    return client.sendIdCounter;
}

int lf_setNotifyTarget(SimConnectClient* client, SimConnectNotify callback, void* window,
                       std::uint32_t message, void* event) {
    if (client == nullptr) {
        return 0;
    }
    auto shared = callback ? std::make_shared<const SimConnectNotify>(std::move(callback)) : nullptr;
    std::lock_guard lock(client->mutex);
    client->notify = std::move(shared);
    client->notifyWindow = window;
    client->notifyMessage = message;
    client->notifyEvent = event;
    return 0;
}

void lf_queueReceivedMessage(SimConnectClient& client, SimConnectMessage message) {
    std::shared_ptr<const SimConnectNotify> notify;
    {
        std::lock_guard lock(client.mutex);
        client.received.push_back(std::move(message));
        notify = client.notify;
    }
    if (notify) {
        (*notify)();
    }
}

void lf_notifyClient(SimConnectClient& client) {
    std::shared_ptr<const SimConnectNotify> notify;
    {
        std::lock_guard lock(client.mutex);
        notify = client.notify;
    }
    if (notify) {
        (*notify)();
    }
}

std::int32_t lf_dispatchMessages(SimConnectClient* client, SimConnectDispatchProc procedure, void* context) {
    if (client == nullptr || procedure == nullptr) {
        return E_FAIL;
    }
    {
        std::lock_guard lock(client->mutex);
        client->lastProcedure = procedure;
        client->lastContext = context;
    }
    for (;;) {
        // The reader queues what it received before it records a failure, so a failure seen before the
        // queue is found empty means everything received has been handed on: the last messages of a
        // connection (the simulator's quit, say) are never dropped for the failure that follows them.
        const bool failed = client->transport.hasFailed();
        SimConnectMessage message;
        {
            std::lock_guard lock(client->mutex);
            if (client->received.empty()) {
                return failed ? client->transport.failureCode() : S_OK;
            }
            message = std::move(client->received.front());
            client->received.pop_front();
        }
        // Shorter messages have no header to read; they are dropped unseen.
        if (message.bytes && message.size >= scwire::kMessageHeaderSize) {
            procedure(message.bytes.get(), message.size, context);
        }
    }
}

int lf_closeClient(SimConnectClient* client) {
    if (client == nullptr) {
        return 1;
    }
    SimConnectTimings timings = simConnectTimings();
    std::this_thread::sleep_for(timings.closeBefore);
    {
        std::lock_guard lock(client->mutex);
        client->received.clear();
    }
    unlinkClient(client);
    client->transport.closeAndJoin();
    std::unique_ptr<SimConnectClient>{client}.reset();
    std::this_thread::sleep_for(timings.closeAfter);
    if (noClientListed()) {
        for (int look = 0; look < timings.transportPolls && lf_liveTransportCount() > 0; ++look) {
            std::this_thread::sleep_for(timings.transportPoll);
        }
        socketLayerCleanup();
    }
    return 0;
}

int lf_clientCount() { return clientCount.load(); }

std::uint64_t lf_clientsCreated() { return clientUidCounter.load(); }

} // namespace zeph
