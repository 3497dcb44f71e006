// The requests a session honours, one handler each.
#include <fmt/format.h>

#include "simstandin/flight_plan.h"
#include "simstandin/session.h"

namespace zeph::standin {

namespace {

constexpr double kMaxRadiusMetres = 200000.0;
constexpr std::uint32_t kPeriodNever = 0;
constexpr std::uint32_t kPeriodOnce = 1;
constexpr std::uint32_t kPeriodSecond = 4;
constexpr std::uint32_t kTypeUser = 0;
constexpr std::uint32_t kTypeAll = 1;
constexpr std::uint32_t kTypeAircraft = 2;
constexpr std::uint32_t kTypeGround = 5;

struct SystemEventName {
    std::string_view name;
    SystemEvent event;
};

constexpr std::array<SystemEventName, kSystemEventCount> kSystemEvents = {{
    {"Sim", SystemEvent::Sim},
    {"ObjectAdded", SystemEvent::ObjectAdded},
    {"ObjectRemoved", SystemEvent::ObjectRemoved},
    {"PositionChanged", SystemEvent::PositionChanged},
    {"FlightLoaded", SystemEvent::FlightLoaded},
    {"Frame", SystemEvent::Frame},
}};

constexpr std::array<std::string_view, 17> kClientEvents = {
    "BEACON_LIGHTS_SET",
    "NAV_LIGHTS_SET",
    "TAXI_LIGHTS_SET",
    "STROBES_SET",
    "LANDING_LIGHTS_SET",
    "CABIN_LIGHTS_SET",
    "LOGO_LIGHTS_SET",
    "ALL_LIGHTS_TOGGLE",
    "FREEZE_LATITUDE_LONGITUDE_SET",
    "FREEZE_ALTITUDE_SET",
    "FREEZE_ATTITUDE_SET",
    "FLAPS_SET",
    "SPOILERS_SET",
    "GEAR_SET",
    "ENGINE_AUTO_START",
    "ENGINE_AUTO_SHUTDOWN",
    "THROTTLE_SET",
};

struct LightEvent {
    std::string_view name;
    std::uint32_t bit;
};

constexpr std::array<LightEvent, 7> kLightEvents = {{
    {"BEACON_LIGHTS_SET", light::kBeacon},
    {"NAV_LIGHTS_SET", light::kNav},
    {"TAXI_LIGHTS_SET", light::kTaxi},
    {"STROBES_SET", light::kStrobe},
    {"LANDING_LIGHTS_SET", light::kLanding},
    {"CABIN_LIGHTS_SET", light::kCabin},
    {"LOGO_LIGHTS_SET", light::kLogo},
}};

char upper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

bool equalNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t k = 0; k < a.size(); ++k) {
        if (upper(a[k]) != upper(b[k])) {
            return false;
        }
    }
    return true;
}

bool isPositionVar(VarId id) {
    switch (id) {
    case VarId::Latitude:
    case VarId::Longitude:
    case VarId::Pitch:
    case VarId::Bank:
    case VarId::Heading:
    case VarId::Altitude:
    case VarId::VerticalSpeed:
    case VarId::AirspeedTrue:
        return true;
    default:
        return false;
    }
}

// What a client event does to its object.
void applyClientEvent(SimObject& object, std::string_view name, std::uint32_t data) {
    for (const LightEvent& lightEvent : kLightEvents) {
        if (name == lightEvent.name) {
            object.lightMask =
                data != 0 ? (object.lightMask | lightEvent.bit) : (object.lightMask & ~lightEvent.bit);
            return;
        }
    }
    if (name == "FREEZE_LATITUDE_LONGITUDE_SET") {
        object.freezeLatLon = data != 0;
    } else if (name == "FREEZE_ALTITUDE_SET") {
        object.freezeAltitude = data != 0;
    } else if (name == "FREEZE_ATTITUDE_SET") {
        object.freezeAttitude = data != 0;
    } else if (name == "FLAPS_SET") {
        object.flaps = data;
    } else if (name == "GEAR_SET") {
        object.gear = data;
    } else if (name == "THROTTLE_SET") {
        object.throttle = data;
    } else if (name == "SPOILERS_SET") {
        object.spoilers = data;
    } else if (name == "ENGINE_AUTO_START") {
        object.engineRunning = true;
    } else if (name == "ENGINE_AUTO_SHUTDOWN") {
        object.engineRunning = false;
    } else if (name == "ALL_LIGHTS_TOGGLE") {
        object.lightMask ^= light::kAll;
    }
}

} // namespace

std::string_view knownClientEvent(std::string_view name) {
    for (std::string_view known : kClientEvents) {
        if (equalNoCase(known, name)) {
            return known;
        }
    }
    return {};
}

void Session::handleSubscribe(const PacketHeader& h, const SubscribePacket& p) {
    for (const SystemEventName& entry : kSystemEvents) {
        if (equalNoCase(entry.name, p.name)) {
            subscriptions_.at(static_cast<std::size_t>(entry.event)) = p.eventId;
            if (entry.event == SystemEvent::Sim && options_.simRunningOnSubscribe) {
                // A client that connects mid-flight learns at once whether the simulation runs.
                queue(encodeEvent(version_, kUnknownGroup, p.eventId, world_.simRunning ? 1 : 0));
            }
            return;
        }
    }
    except(ExceptionCode::NameUnrecognized, h.sendId, 2);
}

void Session::handleMapEvent(const PacketHeader& h, const MapEventPacket& p) {
    const std::string_view known = knownClientEvent(p.name);
    if (known.empty()) {
        except(ExceptionCode::NameUnrecognized, h.sendId, 2);
        return;
    }
    mappedEvents_[p.eventId] = std::string(known);
}

void Session::handleAddDatum(const PacketHeader& h, const AddDatumPacket& p) {
    const SimVar* var = findSimVar(p.name);
    if (var == nullptr) {
        except(ExceptionCode::NameUnrecognized, h.sendId, 2);
        return;
    }
    const std::optional<Unit> unit = parseUnit(p.units);
    if (!unit || !unitSuits(*var, *unit)) {
        except(ExceptionCode::NameUnrecognized, h.sendId, 3);
        return;
    }
    if (!datumTypeKnown(p.type) || datumTypeIsText(p.type) != isTextVar(*var)) {
        except(ExceptionCode::InvalidDataType, h.sendId, 4);
        return;
    }
    Definition& definition = definitions_[p.defineId];
    Datum datum{var, *unit, p.type, definition.blockSize};
    const std::optional<std::size_t> size = datumFixedSize(p.type);
    definition.blockSize = (definition.blockSize && size)
                               ? std::optional<std::size_t>(*definition.blockSize + *size)
                               : std::nullopt;
    definition.datums.push_back(datum);
}

std::string Session::dataBlock(const Definition& definition, const SimObject& object) const {
    std::string block;
    const VarContext context{world_.ground, world_.clock.nowMs()};
    for (const Datum& datum : definition.datums) {
        appendDatum(block, datum, object, context);
    }
    return block;
}

void Session::replyData(const ActiveRequest& request) {
    const SimObject* object = world_.find(request.objectId);
    const auto definition = definitions_.find(request.defineId);
    if (object == nullptr || definition == definitions_.end()) {
        return;
    }
    ObjectDataHead head;
    head.requestId = request.requestId;
    head.objectId = object->id;
    head.defineId = request.defineId;
    head.defineCount = static_cast<std::uint32_t>(definition->second.datums.size());
    queue(encodeObjectData(version_, MessageId::ObjectData, head, dataBlock(definition->second, *object)));
}

void Session::handleRequestData(const PacketHeader& h, const RequestDataPacket& p) {
    if (p.period == kPeriodNever) {
        requests_.erase(p.requestId);
        return;
    }
    if (!definitions_.contains(p.defineId)) {
        except(ExceptionCode::UnrecognizedId, h.sendId, 2);
        return;
    }
    const SimObject* object = world_.find(p.objectId);
    if (object == nullptr) {
        except(ExceptionCode::UnrecognizedId, h.sendId, 3);
        return;
    }
    if (p.period > kPeriodSecond) {
        except(ExceptionCode::OutOfBounds, h.sendId, 4);
        return;
    }
    const ActiveRequest request{p.requestId, p.defineId, object->id, p.period};
    if (p.period == kPeriodOnce) {
        requests_.erase(p.requestId);
        replyData(request);
        return;
    }
    requests_[p.requestId] = request;
}

void Session::handleRequestByType(const PacketHeader& h, const RequestByTypePacket& p) {
    const auto definition = definitions_.find(p.defineId);
    if (definition == definitions_.end()) {
        except(ExceptionCode::UnrecognizedId, h.sendId, 2);
        return;
    }
    if (p.radius > kMaxRadiusMetres) {
        except(ExceptionCode::OutOfBounds, h.sendId, 3);
        return;
    }
    if (p.objectType > kTypeGround) {
        except(ExceptionCode::OutOfBounds, h.sendId, 4);
        return;
    }
    std::vector<std::uint32_t> ids;
    if (p.objectType == kTypeUser) {
        ids.push_back(world_.userId());
    } else if (p.objectType == kTypeAll || p.objectType == kTypeAircraft) {
        ids = world_.aircraftWithin(static_cast<double>(p.radius));
    }
    ObjectDataHead head;
    head.requestId = p.requestId;
    head.defineId = p.defineId;
    head.defineCount = static_cast<std::uint32_t>(definition->second.datums.size());
    head.outOf = static_cast<std::uint32_t>(ids.size());
    if (ids.empty()) { // nothing of that type: one empty reply tells the client so
        head.entry = 0;
        queue(encodeObjectData(version_, MessageId::ObjectDataByType, head, {}));
    }
    for (std::size_t k = 0; k < ids.size(); ++k) {
        head.entry = static_cast<std::uint32_t>(k + 1);
        head.objectId = ids[k];
        queue(encodeObjectData(version_, MessageId::ObjectDataByType, head,
                               dataBlock(definition->second, *world_.find(ids[k]))));
    }
    hub_.byTypeReplied();
}

void Session::handleSetData(const PacketHeader& h, const SetDataPacket& p) {
    const auto definition = definitions_.find(p.defineId);
    if (definition == definitions_.end()) {
        except(ExceptionCode::UnrecognizedId, h.sendId, 1);
        return;
    }
    SimObject* object = world_.find(p.objectId);
    if (object == nullptr) {
        except(ExceptionCode::UnrecognizedId, h.sendId, 2);
        return;
    }
    const Definition& def = definition->second;
    if (!def.blockSize || p.unitSize != *def.blockSize) {
        except(ExceptionCode::InvalidDataSize, h.sendId, 5);
        return;
    }
    if (p.count != 1) {
        except(ExceptionCode::InvalidDataSize, h.sendId, 4);
        return;
    }
    if (object->kind == ObjectKind::User) {
        violation(h.sendId, fmt::format("data definition {} written to the user aircraft", p.defineId));
        return;
    }
    bool moved = false;
    std::size_t at = 0;
    for (const Datum& datum : def.datums) {
        bool written = false;
        const std::optional<std::size_t> size = applyDatum(p.data, at, datum, *object, written);
        if (!size) {
            break;
        }
        at += *size;
        moved = moved || (written && isPositionVar(datum.var->id));
    }
    if (moved) {
        world_.recordPosition(*object);
    }
}

void Session::handleTransmit(const PacketHeader& h, const TransmitEventPacket& p) {
    const auto mapped = mappedEvents_.find(p.eventId);
    if (mapped == mappedEvents_.end()) {
        except(ExceptionCode::UnrecognizedId, h.sendId, 2);
        return;
    }
    SimObject* object = world_.find(p.objectId);
    if (object == nullptr) {
        except(ExceptionCode::UnrecognizedId, h.sendId, 1);
        return;
    }
    world_.clientEvents.push(
        {world_.frame, connection_, object->id, mapped->second, p.data, p.groupId, p.flags});
    applyClientEvent(*object, mapped->second, p.data);
}

void Session::handleCreate(const PacketHeader& h, const CreateAircraftPacket& p) {
    if (world_.titleRefused(p.title)) {
        CreationRecord record{
            connection_, h.sendId, p.requestId,
            0,           p.title,  p.tailNumber,
            p.init,      true,     static_cast<std::uint32_t>(ExceptionCode::CreateObjectFailed)};
        world_.created.push(std::move(record));
        except(ExceptionCode::CreateObjectFailed, h.sendId, 1);
        return;
    }
    if (knobs_.neverReport) { // the creation vanishes: neither made nor refused
        world_.created.push({connection_, h.sendId, p.requestId, 0, p.title, p.tailNumber, p.init, false});
        return;
    }
    if (knobs_.delayFrames > 0) {
        hub_.deferCreation(connection_, h.sendId, p, knobs_.delayFrames);
        return;
    }
    completeCreation(h.sendId, p);
}

void Session::completeCreation(std::uint32_t sendId, const CreateAircraftPacket& create) {
    const SimObject& object = world_.addAi(connection_, create);
    const std::uint32_t objectId = object.id;
    world_.created.push({connection_, sendId, create.requestId, objectId, create.title, create.tailNumber,
                         create.init, false});
    queue(encodeAssignedObjectId(replyVersion(), create.requestId, objectId));
    if (knobs_.objectAddedAfterNextByType) {
        hub_.holdObjectAdded(objectId);
    } else {
        hub_.announceObject(true, objectId);
    }
}

void Session::handleRelease(const PacketHeader& h, const ObjectRequestPacket& p) {
    SimObject* object = world_.find(p.objectId);
    if (object == nullptr) {
        except(ExceptionCode::UnrecognizedId, h.sendId, 1);
        return;
    }
    if (object->kind != ObjectKind::Ai) {
        except(ExceptionCode::OperationInvalidForObjectType, h.sendId, 1);
        return;
    }
    object->released = true;
}

void Session::handleRemove(const PacketHeader& h, const ObjectRequestPacket& p) {
    SimObject* object = world_.find(p.objectId);
    if (object == nullptr) {
        except(ExceptionCode::UnrecognizedId, h.sendId, 1);
        return;
    }
    if (object->kind != ObjectKind::Ai) {
        except(ExceptionCode::OperationInvalidForObjectType, h.sendId, 1);
        return;
    }
    const std::uint32_t objectId = object->id;
    world_.remove(objectId, connection_, "request");
    hub_.announceObject(false, objectId);
}

void Session::handleFlightPlan(const PacketHeader& h, const FlightPlanPacket& p) {
    const SimObject* object = world_.find(p.objectId);
    if (object == nullptr) {
        except(ExceptionCode::UnrecognizedId, h.sendId, 1);
        return;
    }
    if (object->kind != ObjectKind::Ai) {
        except(ExceptionCode::OperationInvalidForObjectType, h.sendId, 1);
        return;
    }
    const FlightPlanCheck check = checkFlightPlan(p.path);
    world_.flightPlans.push({connection_, h.sendId, object->id, p.path, check.ok, check.error, check.type,
                             check.departure, check.destination});
    if (!check.ok) {
        except(ExceptionCode::LoadFlightPlanFailed, h.sendId, 2);
    }
}

} // namespace zeph::standin
