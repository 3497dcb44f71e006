#include "simstandin/wire.h"

#include <bit>
#include <cstring>

namespace zeph::standin {

namespace {

struct KindInfo {
    PacketKind kind;
    std::uint32_t size;
    std::string_view name;
};

constexpr std::array<KindInfo, 14> kKinds = {{
    {PacketKind::Open, 296, "Open"},
    {PacketKind::MapClientEvent, 276, "MapClientEventToSimEvent"},
    {PacketKind::TransmitClientEvent, 36, "TransmitClientEvent"},
    {PacketKind::AddToGroup, 28, "AddClientEventToNotificationGroup"},
    {PacketKind::GroupPriority, 24, "SetNotificationGroupPriority"},
    {PacketKind::AddToDataDefinition, 544, "AddToDataDefinition"},
    {PacketKind::RequestData, 48, "RequestDataOnSimObject"},
    {PacketKind::RequestDataByType, 32, "RequestDataOnSimObjectType"},
    {PacketKind::SetData, 36, "SetDataOnSimObject"},
    {PacketKind::SubscribeSystemEvent, 276, "SubscribeToSystemEvent"},
    {PacketKind::AiCreateNonAtc, 344, "AICreateNonATCAircraft"},
    {PacketKind::AiReleaseControl, 24, "AIReleaseControl"},
    {PacketKind::AiRemoveObject, 24, "AIRemoveObject"},
    {PacketKind::AiSetFlightPlan, 284, "AISetAircraftFlightPlan"},
}};

const KindInfo* infoOf(PacketKind kind) {
    for (const KindInfo& info : kKinds) {
        if (info.kind == kind) {
            return &info;
        }
    }
    return nullptr;
}

// Reads a text field of fixed width; a field without a terminator gives all its bytes and is noted.
std::string readText(std::string_view packet, std::size_t offset, std::size_t width, const char* field,
                     std::vector<std::string>& unterminated) {
    const std::string_view area = packet.substr(offset, width);
    const std::size_t end = area.find('\0');
    if (end == std::string_view::npos) {
        unterminated.emplace_back(field);
        return std::string(area);
    }
    return std::string(area.substr(0, end));
}

std::string messageHead(std::uint32_t size, std::uint32_t version, MessageId id) {
    std::string out;
    out.reserve(size);
    appendU32(out, size);
    appendU32(out, version);
    appendU32(out, static_cast<std::uint32_t>(id));
    return out;
}

InitPosition readInitPosition(std::string_view packet, std::size_t at) {
    InitPosition init;
    init.lat = readF64(packet, at);
    init.lon = readF64(packet, at + 8);
    init.alt = readF64(packet, at + 16);
    init.pitch = readF64(packet, at + 24);
    init.bank = readF64(packet, at + 32);
    init.heading = readF64(packet, at + 40);
    init.onGround = readU32(packet, at + 48);
    init.airspeed = readU32(packet, at + 52);
    return init;
}

PacketFields decodeEventPackets(PacketKind kind, std::string_view p, std::vector<std::string>& cut) {
    switch (kind) {
    case PacketKind::MapClientEvent:
        return MapEventPacket{readU32(p, 16), readText(p, 20, 256, "event name", cut)};
    case PacketKind::TransmitClientEvent:
        return TransmitEventPacket{readU32(p, 16), readU32(p, 20), readU32(p, 24), readU32(p, 28),
                                   readU32(p, 32)};
    case PacketKind::AddToGroup:
        return GroupAddPacket{readU32(p, 16), readU32(p, 20), readU32(p, 24)};
    case PacketKind::GroupPriority:
        return GroupPriorityPacket{readU32(p, 16), readU32(p, 20)};
    case PacketKind::SubscribeSystemEvent:
        return SubscribePacket{readU32(p, 16), readText(p, 20, 256, "system event name", cut)};
    default:
        return std::monostate{};
    }
}

PacketFields decodeDataPackets(PacketKind kind, std::string_view p, std::vector<std::string>& cut) {
    switch (kind) {
    case PacketKind::AddToDataDefinition: {
        AddDatumPacket datum;
        datum.defineId = readU32(p, 16);
        datum.name = readText(p, 20, 256, "datum name", cut);
        datum.units = readText(p, 276, 256, "units name", cut);
        datum.type = readU32(p, 532);
        datum.epsilon = readF32(p, 536);
        datum.datumId = readU32(p, 540);
        return datum;
    }
    case PacketKind::RequestData:
        return RequestDataPacket{readU32(p, 16), readU32(p, 20), readU32(p, 24), readU32(p, 28),
                                 readU32(p, 32), readU32(p, 36), readU32(p, 40), readU32(p, 44)};
    case PacketKind::RequestDataByType:
        return RequestByTypePacket{readU32(p, 16), readU32(p, 20), readU32(p, 24), readU32(p, 28)};
    case PacketKind::SetData:
        return SetDataPacket{readU32(p, 16), readU32(p, 20), readU32(p, 24),
                             readU32(p, 28), readU32(p, 32), std::string(p.substr(36))};
    default:
        return std::monostate{};
    }
}

PacketFields decodeObjectPackets(PacketKind kind, std::string_view p, std::vector<std::string>& cut) {
    switch (kind) {
    case PacketKind::AiCreateNonAtc: {
        CreateAircraftPacket create;
        create.title = readText(p, 16, 256, "container title", cut);
        create.tailNumber = readText(p, 272, 12, "tail number", cut);
        create.init = readInitPosition(p, 284);
        create.requestId = readU32(p, 340);
        return create;
    }
    case PacketKind::AiReleaseControl:
    case PacketKind::AiRemoveObject:
        return ObjectRequestPacket{readU32(p, 16), readU32(p, 20)};
    case PacketKind::AiSetFlightPlan:
        return FlightPlanPacket{readU32(p, 16), readText(p, 20, 260, "flight plan path", cut),
                                readU32(p, 280)};
    default:
        return std::monostate{};
    }
}

} // namespace

std::optional<PacketKind> packetKindOf(std::uint32_t packetId) {
    for (const KindInfo& info : kKinds) {
        if ((kPacketPrefix | static_cast<std::uint32_t>(info.kind)) == packetId) {
            return info.kind;
        }
    }
    return std::nullopt;
}

std::uint32_t packetSizeOf(PacketKind kind) {
    const KindInfo* info = infoOf(kind);
    return info != nullptr ? info->size : 0;
}

std::string_view packetKindName(PacketKind kind) {
    const KindInfo* info = infoOf(kind);
    return info != nullptr ? info->name : std::string_view("unknown");
}

std::uint32_t readU32(std::string_view bytes, std::size_t offset) {
    return static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[offset])) |
           (static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[offset + 1])) << 8U) |
           (static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[offset + 2])) << 16U) |
           (static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[offset + 3])) << 24U);
}

std::int64_t readI64(std::string_view bytes, std::size_t offset) {
    const std::uint64_t low = readU32(bytes, offset);
    const std::uint64_t high = readU32(bytes, offset + 4);
    return static_cast<std::int64_t>(low | (high << 32U));
}

float readF32(std::string_view bytes, std::size_t offset) {
    return std::bit_cast<float>(readU32(bytes, offset));
}

double readF64(std::string_view bytes, std::size_t offset) {
    return std::bit_cast<double>(static_cast<std::uint64_t>(readI64(bytes, offset)));
}

void appendU32(std::string& out, std::uint32_t value) {
    for (unsigned shift = 0; shift < 32; shift += 8) {
        out.push_back(static_cast<char>((value >> shift) & 0xFFU));
    }
}

void appendI32(std::string& out, std::int32_t value) { appendU32(out, static_cast<std::uint32_t>(value)); }

void appendI64(std::string& out, std::int64_t value) {
    const auto bits = static_cast<std::uint64_t>(value);
    appendU32(out, static_cast<std::uint32_t>(bits & 0xFFFFFFFFU));
    appendU32(out, static_cast<std::uint32_t>(bits >> 32U));
}

void appendF32(std::string& out, float value) { appendU32(out, std::bit_cast<std::uint32_t>(value)); }

void appendF64(std::string& out, double value) {
    appendI64(out, static_cast<std::int64_t>(std::bit_cast<std::uint64_t>(value)));
}

void appendText(std::string& out, std::string_view text, std::size_t width) {
    if (width == 0) {
        return;
    }
    const std::string_view kept = text.substr(0, std::min(text.size(), width - 1));
    out.append(kept);
    out.append(width - kept.size(), '\0');
}

void writeU32At(std::string& out, std::size_t offset, std::uint32_t value) {
    for (unsigned k = 0; k < 4; ++k) {
        out[offset + k] = static_cast<char>((value >> (8U * k)) & 0xFFU);
    }
}

PacketHeader readPacketHeader(std::string_view packet) {
    return {readU32(packet, 0), readU32(packet, 4), readU32(packet, 8), readU32(packet, 12)};
}

DecodedPacket decodePacket(PacketKind kind, std::string_view p) {
    DecodedPacket decoded;
    if (kind == PacketKind::Open) {
        OpenPacket open;
        open.appName = readText(p, 16, 256, "application name", decoded.unterminated);
        open.reserved = readU32(p, 272);
        open.alias = readU32(p, 276);
        for (std::size_t k = 0; k < 4; ++k) {
            open.version[k] = readU32(p, 280 + 4 * k);
        }
        decoded.fields = std::move(open);
        return decoded;
    }
    decoded.fields = decodeEventPackets(kind, p, decoded.unterminated);
    if (std::holds_alternative<std::monostate>(decoded.fields)) {
        decoded.fields = decodeDataPackets(kind, p, decoded.unterminated);
    }
    if (std::holds_alternative<std::monostate>(decoded.fields)) {
        decoded.fields = decodeObjectPackets(kind, p, decoded.unterminated);
    }
    return decoded;
}

std::uint64_t setDataDeclaredSize(std::string_view packet) {
    return 36U +
           static_cast<std::uint64_t>(readU32(packet, 28)) * static_cast<std::uint64_t>(readU32(packet, 32));
}

std::string encodeExceptionCode(std::uint32_t version, std::uint32_t code, std::uint32_t sendId,
                                std::uint32_t index) {
    std::string out = messageHead(24, version, MessageId::Exception);
    appendU32(out, code);
    appendU32(out, sendId);
    appendU32(out, index);
    return out;
}

std::string encodeException(std::uint32_t version, ExceptionCode code, std::uint32_t sendId,
                            std::uint32_t index) {
    return encodeExceptionCode(version, static_cast<std::uint32_t>(code), sendId, index);
}

std::string encodeOpenReply(std::uint32_t version, std::string_view appName, const AppVersion& app) {
    std::string out = messageHead(308, version, MessageId::Open);
    appendText(out, appName, 256);
    for (int round = 0; round < 2; ++round) { // application version, then the same as SimConnect version
        appendU32(out, app.major);
        appendU32(out, app.minor);
        appendU32(out, app.buildMajor);
        appendU32(out, app.buildMinor);
    }
    appendU32(out, 0); // reserved1
    appendU32(out, 0); // reserved2
    return out;
}

std::string encodeQuit(std::uint32_t version) { return messageHead(12, version, MessageId::Quit); }

std::string encodeEvent(std::uint32_t version, std::uint32_t group, std::uint32_t eventId,
                        std::uint32_t data) {
    std::string out = messageHead(24, version, MessageId::Event);
    appendU32(out, group);
    appendU32(out, eventId);
    appendU32(out, data);
    return out;
}

std::string encodeAddRemove(std::uint32_t version, std::uint32_t eventId, std::uint32_t objectId,
                            std::uint32_t objectType) {
    std::string out = messageHead(28, version, MessageId::ObjectAddRemove);
    appendU32(out, kUnknownGroup);
    appendU32(out, eventId);
    appendU32(out, objectId);
    appendU32(out, objectType);
    return out;
}

std::string encodeFileName(std::uint32_t version, std::uint32_t eventId, std::string_view fileName,
                           std::uint32_t flags) {
    std::string out = messageHead(288, version, MessageId::FileName);
    appendU32(out, kUnknownGroup);
    appendU32(out, eventId);
    appendU32(out, 0);
    appendText(out, fileName, 260);
    appendU32(out, flags);
    return out;
}

std::string encodeFrame(std::uint32_t version, std::uint32_t eventId, float frameRate, float simSpeed) {
    std::string out = messageHead(32, version, MessageId::Frame);
    appendU32(out, kUnknownGroup);
    appendU32(out, eventId);
    appendU32(out, 0);
    appendF32(out, frameRate);
    appendF32(out, simSpeed);
    return out;
}

std::string encodeObjectData(std::uint32_t version, MessageId id, const ObjectDataHead& head,
                             std::string_view data) {
    std::string out = messageHead(static_cast<std::uint32_t>(40 + data.size()), version, id);
    appendU32(out, head.requestId);
    appendU32(out, head.objectId);
    appendU32(out, head.defineId);
    appendU32(out, head.flags);
    appendU32(out, head.entry);
    appendU32(out, head.outOf);
    appendU32(out, head.defineCount);
    out.append(data);
    return out;
}

std::string encodeAssignedObjectId(std::uint32_t version, std::uint32_t requestId, std::uint32_t objectId) {
    std::string out = messageHead(20, version, MessageId::AssignedObjectId);
    appendU32(out, requestId);
    appendU32(out, objectId);
    return out;
}

} // namespace zeph::standin
