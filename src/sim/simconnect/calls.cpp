#include "sim/simconnect/calls.h"

#include <bit>
#include <cstring>

#include "sim/simconnect/connect.h"
#include "sim/simconnect/messages.h"
#include "sim/simconnect/wire.h"

namespace zeph {

namespace {

// Fills the fields of one reserved packet.
class PacketWriter {
public:
    explicit PacketWriter(std::uint8_t* packet) : packet_(packet) {}

    void u32(std::size_t offset, std::uint32_t value) { storeU32(packet_ + offset, value); }
    void f32(std::size_t offset, float value) { u32(offset, std::bit_cast<std::uint32_t>(value)); }
    void bytes(std::size_t offset, const void* data, std::size_t size) {
        if (size > 0) {
            std::memcpy(packet_ + offset, data, size);
        }
    }
    // false when the text needs more than width - 1 bytes; the field is zero already, so only the text's
    // bytes are written and the terminator is there.
    bool text(std::size_t offset, std::size_t width, const char* text) {
        if (text == nullptr) {
            return true;
        }
        std::size_t length = strnlen(text, width);
        if (length >= width) {
            return false;
        }
        bytes(offset, text, length);
        return true;
    }

private:
    std::uint8_t* packet_;
};

std::int32_t failureOf(const SimConnectClient& client) {
    std::int32_t code = client.transport.failureCode();
    return code != S_OK ? code : E_FAIL;
}

// One packet call: reserve, write the header, fill, send, all under the packet-area lock. fill returns S_OK
// or the code to give back after the reservation is released.
template <class Fill>
std::int32_t sendPacketCall(SimConnectClient* client, std::uint32_t packetId, std::size_t size, Fill fill) {
    if (client == nullptr) {
        return E_FAIL;
    }
    PacketAreaLock lock;
    std::uint8_t* packet = nullptr;
    int reserved = lf_getPacketBuffer(lock, client, &packet, size);
    if (reserved == 2) {
        return failureOf(*client);
    }
    if (reserved != 0) {
        return E_FAIL;
    }
    PacketWriter writer(packet);
    writer.u32(scwire::kSize, static_cast<std::uint32_t>(size));
    writer.u32(scwire::kVersion, scwire::kProtocol);
    writer.u32(scwire::kPacketId, packetId);
    std::int32_t filled = fill(writer);
    if (filled != S_OK) {
        lf_releasePacketBuffer(lock, client, packet, size);
        return filled;
    }
    lf_sendPacket(lock, client);
    return S_OK;
}

std::int32_t textResult(bool fits) { return fits ? S_OK : E_INSUFFICIENT_BUFFER; }

// The Open packet; S_OK only when it was handed to the transport.
std::int32_t sendOpenPacket(SimConnectClient* client, const char* name) {
    using namespace scwire::open;
    PacketAreaLock lock;
    std::uint8_t* packet = nullptr;
    int reserved = lf_getPacketBuffer(lock, client, &packet, kPacketSize);
    if (reserved == 2) {
        return failureOf(*client);
    }
    if (reserved != 0) {
        return E_FAIL;
    }
    PacketWriter writer(packet);
    writer.u32(scwire::kSize, kPacketSize);
    writer.u32(scwire::kVersion, scwire::kProtocol);
    writer.u32(scwire::kPacketId, kId);
    if (!writer.text(kName, kNameWidth, name)) {
        lf_releasePacketBuffer(lock, client, packet, kPacketSize);
        return E_INSUFFICIENT_BUFFER;
    }
    writer.u32(kReserved, 0);
    writer.u32(kSimTag, kSimTagValue);
    writer.u32(kVersionMajor, kVersionMajorValue);
    writer.u32(kVersionMinor, kVersionMinorValue);
    writer.u32(kBuildMajor, 0);
    writer.u32(kBuildMinor, 0);
    return lf_sendPacket(lock, client) == 0 ? S_OK : E_FAIL;
}

} // namespace

std::int32_t SimConnect_Open(SimConnectClient** handle, const char* name, void* window,
                             std::uint32_t userMessage, void* event, std::uint32_t configIndex,
                             const StopAsked& stopAsked) {
    if (handle == nullptr || name == nullptr) {
        return E_INVALIDARG;
    }
    *handle = nullptr;
    SimConnectClient* client = nullptr;
    int opened = lf_openClient(&client, configIndex, stopAsked);
    if (opened == 3) {
        return E_INVALIDARG;
    }
    if (opened != 0 || client == nullptr) {
        return E_FAIL;
    }
    lf_setNotifyTarget(client, nullptr, window, userMessage, event);
    std::int32_t sent = sendOpenPacket(client, name);
    if (sent != S_OK) {
        lf_closeClient(client);
        return sent;
    }
    *handle = client;
    return S_OK;
}

std::int32_t SimConnect_Close(SimConnectClient* handle) {
    if (handle == nullptr) {
        return E_FAIL;
    }
    {
        PacketAreaLock lock;
        lf_sendPacket(lock, handle);
    }
    lf_closeClient(handle);
    return S_OK;
}

std::int32_t SimConnect_CallDispatch(SimConnectClient* handle, SimConnectDispatchProc procedure,
                                     void* context) {
    return lf_dispatchMessages(handle, procedure, context);
}

std::int32_t SimConnect_GetLastSentPacketID(SimConnectClient* handle, std::uint32_t* sendId) {
    if (handle == nullptr || sendId == nullptr) {
        return E_FAIL;
    }
    PacketAreaLock lock;
    *sendId = lf_lastSentPacketId(lock, *handle);
    return S_OK;
}

std::int32_t SimConnect_MapClientEventToSimEvent(SimConnectClient* handle, std::uint32_t eventId,
                                                 const char* eventName) {
    using namespace scwire::mapClientEvent;
    return sendPacketCall(handle, kId, kPacketSize, [&](PacketWriter& w) {
        w.u32(kEventId, eventId);
        return textResult(w.text(kEventName, kEventNameWidth, eventName));
    });
}

std::int32_t SimConnect_TransmitClientEvent(SimConnectClient* handle, std::uint32_t objectId,
                                            std::uint32_t eventId, std::uint32_t data, std::uint32_t groupId,
                                            std::uint32_t flags) {
    using namespace scwire::transmitClientEvent;
    return sendPacketCall(handle, kId, kPacketSize, [&](PacketWriter& w) {
        w.u32(kObjectId, objectId);
        w.u32(kEventId, eventId);
        w.u32(kData, data);
        w.u32(kGroupId, groupId);
        w.u32(kFlags, flags);
        return S_OK;
    });
}

std::int32_t SimConnect_AddClientEventToNotificationGroup(SimConnectClient* handle, std::uint32_t groupId,
                                                          std::uint32_t eventId, bool maskable) {
    using namespace scwire::addToNotificationGroup;
    return sendPacketCall(handle, kId, kPacketSize, [&](PacketWriter& w) {
        w.u32(kGroupId, groupId);
        w.u32(kEventId, eventId);
        w.u32(kMaskable, maskable ? 1 : 0);
        return S_OK;
    });
}

std::int32_t SimConnect_SetNotificationGroupPriority(SimConnectClient* handle, std::uint32_t groupId,
                                                     std::uint32_t priority) {
    using namespace scwire::setGroupPriority;
    return sendPacketCall(handle, kId, kPacketSize, [&](PacketWriter& w) {
        w.u32(kGroupId, groupId);
        w.u32(kPriority, priority);
        return S_OK;
    });
}

std::int32_t SimConnect_AddToDataDefinition(SimConnectClient* handle, std::uint32_t defineId,
                                            const char* datumName, const char* unitsName,
                                            std::uint32_t datumType, float epsilon, std::uint32_t datumId) {
    using namespace scwire::addToDataDefinition;
    return sendPacketCall(handle, kId, kPacketSize, [&](PacketWriter& w) {
        w.u32(kDefineId, defineId);
        if (!w.text(kDatumName, kTextWidth, datumName) || !w.text(kUnitsName, kTextWidth, unitsName)) {
            return E_INSUFFICIENT_BUFFER;
        }
        w.u32(kDatumType, datumType);
        w.f32(kEpsilon, epsilon);
        w.u32(kDatumId, datumId);
        return S_OK;
    });
}

std::int32_t SimConnect_RequestDataOnSimObject(SimConnectClient* handle, std::uint32_t requestId,
                                               std::uint32_t defineId, std::uint32_t objectId,
                                               std::uint32_t period, std::uint32_t flags,
                                               std::uint32_t origin, std::uint32_t interval,
                                               std::uint32_t limit) {
    using namespace scwire::requestDataOnSimObject;
    return sendPacketCall(handle, kId, kPacketSize, [&](PacketWriter& w) {
        w.u32(kRequestId, requestId);
        w.u32(kDefineId, defineId);
        w.u32(kObjectId, objectId);
        w.u32(kPeriod, period);
        w.u32(kFlags, flags);
        w.u32(kOrigin, origin);
        w.u32(kInterval, interval);
        w.u32(kLimit, limit);
        return S_OK;
    });
}

std::int32_t SimConnect_RequestDataOnSimObjectType(SimConnectClient* handle, std::uint32_t requestId,
                                                   std::uint32_t defineId, std::uint32_t radius,
                                                   std::uint32_t objectType) {
    using namespace scwire::requestDataOnSimObjectType;
    return sendPacketCall(handle, kId, kPacketSize, [&](PacketWriter& w) {
        w.u32(kRequestId, requestId);
        w.u32(kDefineId, defineId);
        w.u32(kRadius, radius);
        w.u32(kObjectType, objectType);
        return S_OK;
    });
}

std::int32_t SimConnect_SetDataOnSimObject(SimConnectClient* handle, std::uint32_t defineId,
                                           std::uint32_t objectId, std::uint32_t flags,
                                           std::uint32_t arrayCount, std::uint32_t unitSize,
                                           const void* data) {
    using namespace scwire::setDataOnSimObject;
    std::uint32_t count = arrayCount == 0 ? 1 : arrayCount;
    // In 64 bits, so that a huge count times a huge unit cannot wrap round to a small packet.
    std::uint64_t dataSize = std::uint64_t{count} * unitSize;
    if (handle == nullptr || dataSize > scwire::kPacketAreaSize - kFixedSize ||
        (data == nullptr && dataSize > 0)) {
        return E_FAIL;
    }
    auto size = static_cast<std::size_t>(kFixedSize + dataSize);
    return sendPacketCall(handle, kId, size, [&](PacketWriter& w) {
        w.u32(kDefineId, defineId);
        w.u32(kObjectId, objectId);
        w.u32(kFlags, flags);
        w.u32(kCount, count);
        w.u32(kUnitSize, unitSize);
        w.bytes(kData, data, static_cast<std::size_t>(dataSize));
        return S_OK;
    });
}

std::int32_t SimConnect_SubscribeToSystemEvent(SimConnectClient* handle, std::uint32_t eventId,
                                               const char* eventName) {
    using namespace scwire::subscribeToSystemEvent;
    return sendPacketCall(handle, kId, kPacketSize, [&](PacketWriter& w) {
        w.u32(kEventId, eventId);
        return textResult(w.text(kEventName, kEventNameWidth, eventName));
    });
}

std::int32_t SimConnect_AICreateNonATCAircraft(SimConnectClient* handle, const char* containerTitle,
                                               const char* tailNumber, const void* initPosition,
                                               std::uint32_t requestId) {
    using namespace scwire::aiCreateNonAtcAircraft;
    if (initPosition == nullptr) {
        return E_FAIL;
    }
    return sendPacketCall(handle, kId, kPacketSize, [&](PacketWriter& w) {
        if (!w.text(kTitle, kTitleWidth, containerTitle) ||
            !w.text(kTailNumber, kTailNumberWidth, tailNumber)) {
            return E_INSUFFICIENT_BUFFER;
        }
        w.bytes(kInitPosition, initPosition, kInitPositionSize);
        w.u32(kRequestId, requestId);
        return S_OK;
    });
}

std::int32_t SimConnect_AIReleaseControl(SimConnectClient* handle, std::uint32_t objectId,
                                         std::uint32_t requestId) {
    using namespace scwire::aiReleaseControl;
    return sendPacketCall(handle, kId, kPacketSize, [&](PacketWriter& w) {
        w.u32(kObjectId, objectId);
        w.u32(kRequestId, requestId);
        return S_OK;
    });
}

std::int32_t SimConnect_AIRemoveObject(SimConnectClient* handle, std::uint32_t objectId,
                                       std::uint32_t requestId) {
    using namespace scwire::aiRemoveObject;
    return sendPacketCall(handle, kId, kPacketSize, [&](PacketWriter& w) {
        w.u32(kObjectId, objectId);
        w.u32(kRequestId, requestId);
        return S_OK;
    });
}

std::int32_t SimConnect_AISetAircraftFlightPlan(SimConnectClient* handle, std::uint32_t objectId,
                                                const char* flightPlanPath, std::uint32_t requestId) {
    using namespace scwire::aiSetAircraftFlightPlan;
    return sendPacketCall(handle, kId, kPacketSize, [&](PacketWriter& w) {
        w.u32(kObjectId, objectId);
        if (!w.text(kPath, kPathWidth, flightPlanPath)) {
            return E_INSUFFICIENT_BUFFER;
        }
        w.u32(kRequestId, requestId);
        return S_OK;
    });
}

} // namespace zeph
