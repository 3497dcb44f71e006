#include "simstandin/session.h"

#include <fmt/format.h>

namespace zeph::standin {

namespace {

// Past this many consumed bytes the input buffer is compacted, so a long stream never grows it.
constexpr std::size_t kCompactAfter = 64 * 1024;

struct LegacyAlias {
    std::uint32_t alias;
    std::uint32_t major;
};

// Older clients name their simulator family in the alias and its major version in the first field.
constexpr std::array<LegacyAlias, 4> kLegacyAliases = {{
    {kAliasFsx, 0},
    {kAliasFsx, 10},
    {kAliasKittyHawk, 11},
    {kAliasSunRise, 12},
}};

} // namespace

Session::Session(std::uint32_t connection, const SessionOptions& options, World& world,
                 const CreationKnobs& knobs, SessionHub& hub)
    : connection_(connection), options_(options), world_(world), knobs_(knobs), hub_(hub) {}

bool Session::feed(std::string_view bytes) {
    if (broken_) {
        return false;
    }
    input_.append(bytes);
    while (input_.size() - inputPos_ >= 4) {
        const std::string_view rest = std::string_view(input_).substr(inputPos_);
        const std::uint32_t size = readU32(rest, 0);
        if (size < kRequestHeaderSize || size > kMaxPacketSize) {
            // Nothing tells where the next packet starts: the connection cannot go on.
            violation(rest.size() >= kRequestHeaderSize ? readU32(rest, 12) : 0,
                      fmt::format("packet size {} cannot be framed (16 to {})", size, kMaxPacketSize));
            broken_ = true;
            return false;
        }
        if (rest.size() < size) {
            break;
        }
        handlePacket(rest.substr(0, size));
        inputPos_ += size;
    }
    if (inputPos_ == input_.size()) {
        input_.clear();
        inputPos_ = 0;
    } else if (inputPos_ > kCompactAfter) {
        input_.erase(0, inputPos_);
        inputPos_ = 0;
    }
    return true;
}

void Session::handlePacket(std::string_view packet) {
    ++packetsHandled_;
    const PacketHeader header = readPacketHeader(packet);
    lastVersion_ = header.version;
    checkSendId(header.sendId);
    std::optional<PacketKind> kind;
    if (!checkHeader(packet, header, kind)) {
        world_.packets.push({connection_, header.sendId, header.id, header.size, header.version, {}});
        if (kind) { // only the fourteen known ids are counted, so no client can grow the counts
            ++world_.packetCounts[header.id];
        }
        return;
    }
    DecodedPacket decoded = decodePacket(*kind, packet);
    for (const std::string& field : decoded.unterminated) {
        violation(header.sendId, fmt::format("{} of {} has no terminator", field, packetKindName(*kind)));
    }
    world_.packets.push({connection_, header.sendId, header.id, header.size, header.version, decoded.fields});
    ++world_.packetCounts[header.id];
    if (!versionAllowed(header.version)) {
        violation(header.sendId, fmt::format("protocol version {}", header.version));
        except(ExceptionCode::VersionMismatch, header.sendId, 0);
        return;
    }
    if (!opened_ && *kind != PacketKind::Open) {
        violation(header.sendId, fmt::format("{} before Open", packetKindName(*kind)));
        except(ExceptionCode::Unopened, header.sendId, 0);
        return;
    }
    dispatch(*kind, header, decoded.fields);
}

bool Session::checkHeader(std::string_view packet, const PacketHeader& header,
                          std::optional<PacketKind>& kind) {
    kind = packetKindOf(header.id);
    if (!kind) {
        violation(header.sendId, fmt::format("unknown packet id 0x{:08X}", header.id));
        if (options_.answerViolations) {
            except(ExceptionCode::UnrecognizedId, header.sendId, 0);
        }
        return false;
    }
    bool sizeOk = false;
    std::uint64_t expected = packetSizeOf(*kind);
    if (*kind == PacketKind::SetData) {
        // The count and unit size are only read once the packet is long enough to hold them.
        expected = header.size >= expected ? setDataDeclaredSize(packet) : expected;
        sizeOk = expected == header.size;
    } else {
        sizeOk = expected == header.size;
    }
    if (!sizeOk) {
        violation(header.sendId,
                  fmt::format("size {} of {}, expected {}", header.size, packetKindName(*kind), expected));
        if (options_.answerViolations) {
            except(ExceptionCode::SizeMismatch, header.sendId, 0);
        }
        return false;
    }
    return true;
}

void Session::checkSendId(std::uint32_t sendId) {
    if (!lastSendId_) {
        if (!options_.legacy && sendId != 1) {
            violation(sendId, fmt::format("first send id {}, expected 1", sendId));
        }
    } else {
        const std::uint32_t expected = *lastSendId_ == 0xFFFFFFFFU ? 1 : *lastSendId_ + 1;
        if (sendId != expected) {
            const char* what = sendId == *lastSendId_ ? "repeated send id" : "send id gap:";
            violation(sendId,
                      fmt::format("{} {} after {}, expected {}", what, sendId, *lastSendId_, expected));
        }
    }
    lastSendId_ = sendId;
}

bool Session::versionAllowed(std::uint32_t version) const {
    if (version == kProtocolPrepar3d) {
        return true;
    }
    return options_.legacy && version >= 2 && version <= 6;
}

bool Session::openFieldsAllowed(const OpenPacket& open) const {
    if (open.alias == kAliasPrepar3d && open.version == std::array<std::uint32_t, 4>{5, 3, 0, 0}) {
        return true;
    }
    if (!options_.legacy) {
        return false;
    }
    for (const LegacyAlias& legacy : kLegacyAliases) {
        if (legacy.alias == open.alias && legacy.major == open.version[0]) {
            return true;
        }
    }
    return false;
}

void Session::handleOpen(const PacketHeader& header, const OpenPacket& open) {
    if (opened_) {
        violation(header.sendId, "a second Open on an open connection");
        return;
    }
    if (!openFieldsAllowed(open)) {
        violation(header.sendId,
                  fmt::format("Open with alias 0x{:08X} and version {}.{}.{}.{}", open.alias, open.version[0],
                              open.version[1], open.version[2], open.version[3]));
        except(ExceptionCode::VersionMismatch, header.sendId, 0);
        return;
    }
    opened_ = true;
    version_ = header.version;
    queue(encodeOpenReply(version_, options_.appName, options_.appVersion));
}

void Session::except(ExceptionCode code, std::uint32_t sendId, std::uint32_t index) {
    queue(encodeException(replyVersion(), code, sendId, index));
}

void Session::violation(std::uint32_t sendId, std::string text) {
    world_.violations.push({connection_, sendId, std::move(text)});
}

void Session::sendSystemEvent(SystemEvent event, std::uint32_t data) {
    const auto& id = subscriptions_.at(static_cast<std::size_t>(event));
    if (opened_ && id) {
        queue(encodeEvent(version_, kUnknownGroup, *id, data));
    }
}

void Session::sendFlightLoaded(const std::string& path, bool asEvent) {
    const auto& id = subscriptions_.at(static_cast<std::size_t>(SystemEvent::FlightLoaded));
    if (!opened_ || !id) {
        return;
    }
    queue(asEvent ? encodeEvent(version_, kUnknownGroup, *id, 0) : encodeFileName(version_, *id, path, 0));
}

void Session::sendObjectEvent(bool added, std::uint32_t objectId) {
    const auto& id = subscriptions_.at(
        static_cast<std::size_t>(added ? SystemEvent::ObjectAdded : SystemEvent::ObjectRemoved));
    if (opened_ && id) {
        constexpr std::uint32_t kAircraft = 2;
        queue(encodeAddRemove(version_, *id, objectId, kAircraft));
    }
}

void Session::onFrame() {
    const auto& frameId = subscriptions_.at(static_cast<std::size_t>(SystemEvent::Frame));
    if (opened_ && frameId) {
        queue(encodeFrame(version_, *frameId, world_.frameRate, 1.0F));
    }
    for (auto it = requests_.begin(); it != requests_.end();) {
        const ActiveRequest& request = it->second;
        if (request.period != 2 && request.period != 3) {
            ++it;
        } else if (world_.find(request.objectId) == nullptr) {
            it = requests_.erase(it); // the object is gone: so is its request
        } else {
            replyData(request);
            ++it;
        }
    }
}

void Session::onSecond() {
    for (auto it = requests_.begin(); it != requests_.end();) {
        if (it->second.period != 4) {
            ++it;
        } else if (world_.find(it->second.objectId) == nullptr) {
            it = requests_.erase(it);
        } else {
            replyData(it->second);
            ++it;
        }
    }
}

void Session::dispatch(PacketKind kind, const PacketHeader& header, const PacketFields& fields) {
    switch (kind) {
    case PacketKind::Open:
        handleOpen(header, std::get<OpenPacket>(fields));
        break;
    case PacketKind::SubscribeSystemEvent:
        handleSubscribe(header, std::get<SubscribePacket>(fields));
        break;
    case PacketKind::MapClientEvent:
        handleMapEvent(header, std::get<MapEventPacket>(fields));
        break;
    case PacketKind::AddToGroup: {
        const auto& p = std::get<GroupAddPacket>(fields);
        groups_[p.groupId].push_back(p.eventId);
        break;
    }
    case PacketKind::GroupPriority: {
        const auto& p = std::get<GroupPriorityPacket>(fields);
        groupPriorities_[p.groupId] = p.priority;
        break;
    }
    case PacketKind::AddToDataDefinition:
        handleAddDatum(header, std::get<AddDatumPacket>(fields));
        break;
    case PacketKind::RequestData:
        handleRequestData(header, std::get<RequestDataPacket>(fields));
        break;
    case PacketKind::RequestDataByType:
        handleRequestByType(header, std::get<RequestByTypePacket>(fields));
        break;
    case PacketKind::SetData:
        handleSetData(header, std::get<SetDataPacket>(fields));
        break;
    case PacketKind::TransmitClientEvent:
        handleTransmit(header, std::get<TransmitEventPacket>(fields));
        break;
    case PacketKind::AiCreateNonAtc:
        handleCreate(header, std::get<CreateAircraftPacket>(fields));
        break;
    case PacketKind::AiReleaseControl:
        handleRelease(header, std::get<ObjectRequestPacket>(fields));
        break;
    case PacketKind::AiRemoveObject:
        handleRemove(header, std::get<ObjectRequestPacket>(fields));
        break;
    case PacketKind::AiSetFlightPlan:
        handleFlightPlan(header, std::get<FlightPlanPacket>(fields));
        break;
    }
}

} // namespace zeph::standin
