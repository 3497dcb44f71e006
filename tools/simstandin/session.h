#pragma once
// One accepted connection: framing, header checks, the handshake, and the state a client builds up
// (definitions, mapped events, groups, subscriptions, data requests). It does no I/O: bytes come in
// through feed() and the messages to send collect in outbox().
#include <array>
#include <cstdint>
#include <deque>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "simstandin/simvars.h"
#include "simstandin/wire.h"
#include "simstandin/world.h"

namespace zeph::standin {

enum class SystemEvent { Sim, ObjectAdded, ObjectRemoved, PositionChanged, FlightLoaded, Frame };
inline constexpr std::size_t kSystemEventCount = 6;

struct SessionOptions {
    bool legacy = false;
    std::string appName = "Lockheed Martin\xAE Prepar3D\xAE v5";
    AppVersion appVersion{5, 3, 12, 28584};
    bool simRunningOnSubscribe = true;
    bool answerViolations = true;
};

// How creations of AI aircraft are reported; shared by all connections and set by the controls.
struct CreationKnobs {
    std::uint32_t delayFrames = 0;
    bool neverReport = false;
    bool objectAddedAfterNextByType = false;
};

// What a session needs from the stand-in around it.
class SessionHub {
public:
    virtual ~SessionHub() = default;
    // Tells every connection subscribed to it that an object came or went.
    virtual void announceObject(bool added, std::uint32_t objectId) = 0;
    // Keeps a creation whose reports wait `frames` frames.
    virtual void deferCreation(std::uint32_t connection, std::uint32_t sendId,
                               const CreateAircraftPacket& create, std::uint32_t frames) = 0;
    // Keeps an ObjectAdded until the next reply by type has gone out.
    virtual void holdObjectAdded(std::uint32_t objectId) = 0;
    // A reply by type has been queued.
    virtual void byTypeReplied() = 0;
};

struct Definition {
    std::vector<Datum> datums;
    std::optional<std::size_t> blockSize = 0; // nothing once a text of variable length is in it
};

struct ActiveRequest {
    std::uint32_t requestId = 0;
    std::uint32_t defineId = 0;
    std::uint32_t objectId = 0; // the real id, never 0
    std::uint32_t period = 0;
};

class Session {
public:
    Session(std::uint32_t connection, const SessionOptions& options, World& world, const CreationKnobs& knobs,
            SessionHub& hub);

    // Takes bytes of the stream and handles every whole packet in them. False when the stream cannot be
    // framed any more and the connection must close.
    bool feed(std::string_view bytes);

    std::deque<std::string>& outbox() { return outbox_; }
    void queue(std::string message) { outbox_.push_back(std::move(message)); }
    std::uint32_t connection() const { return connection_; }
    bool opened() const { return opened_; }
    // The protocol version replies carry: the Open's once opened, else that of the last packet.
    std::uint32_t replyVersion() const { return opened_ ? version_ : lastVersion_; }
    std::uint64_t packetsHandled() const { return packetsHandled_; }
    bool subscribed(SystemEvent event) const {
        return subscriptions_.at(static_cast<std::size_t>(event)).has_value();
    }

    // Pushes of the simulator; each goes out only when the client subscribed to its system event.
    void sendSystemEvent(SystemEvent event, std::uint32_t data);
    void sendFlightLoaded(const std::string& path, bool asEvent);
    void sendObjectEvent(bool added, std::uint32_t objectId);
    // One simulator frame: the frame event, then the data requests answered on every frame.
    void onFrame();
    // One whole second of the simulator clock: the requests answered every second.
    void onSecond();
    // Creates a requested AI aircraft and reports it (message 12, then ObjectAdded through the hub).
    void completeCreation(std::uint32_t sendId, const CreateAircraftPacket& create);

private:
    void handlePacket(std::string_view packet);
    bool checkHeader(std::string_view packet, const PacketHeader& header, std::optional<PacketKind>& kind);
    void checkSendId(std::uint32_t sendId);
    bool versionAllowed(std::uint32_t version) const;
    void dispatch(PacketKind kind, const PacketHeader& header, const PacketFields& fields);
    void handleOpen(const PacketHeader& header, const OpenPacket& open);
    bool openFieldsAllowed(const OpenPacket& open) const;

    void handleSubscribe(const PacketHeader& h, const SubscribePacket& p);
    void handleMapEvent(const PacketHeader& h, const MapEventPacket& p);
    void handleAddDatum(const PacketHeader& h, const AddDatumPacket& p);
    void handleRequestData(const PacketHeader& h, const RequestDataPacket& p);
    void handleRequestByType(const PacketHeader& h, const RequestByTypePacket& p);
    void handleSetData(const PacketHeader& h, const SetDataPacket& p);
    void handleTransmit(const PacketHeader& h, const TransmitEventPacket& p);
    void handleCreate(const PacketHeader& h, const CreateAircraftPacket& p);
    void handleRelease(const PacketHeader& h, const ObjectRequestPacket& p);
    void handleRemove(const PacketHeader& h, const ObjectRequestPacket& p);
    void handleFlightPlan(const PacketHeader& h, const FlightPlanPacket& p);

    void replyData(const ActiveRequest& request);
    std::string dataBlock(const Definition& definition, const SimObject& object) const;
    void except(ExceptionCode code, std::uint32_t sendId, std::uint32_t index);
    void violation(std::uint32_t sendId, std::string text);

    std::uint32_t connection_;
    SessionOptions options_;
    World& world_;
    const CreationKnobs& knobs_;
    SessionHub& hub_;

    std::string input_;
    std::size_t inputPos_ = 0;
    bool broken_ = false;
    std::deque<std::string> outbox_;
    std::uint64_t packetsHandled_ = 0;

    bool opened_ = false;
    std::uint32_t version_ = kProtocolPrepar3d;
    std::uint32_t lastVersion_ = kProtocolPrepar3d;
    std::optional<std::uint32_t> lastSendId_;

    std::array<std::optional<std::uint32_t>, kSystemEventCount> subscriptions_{};
    std::map<std::uint32_t, std::string> mappedEvents_;          // client event id -> simulator event
    std::map<std::uint32_t, std::vector<std::uint32_t>> groups_; // group -> client events
    std::map<std::uint32_t, std::uint32_t> groupPriorities_;
    std::map<std::uint32_t, Definition> definitions_;
    std::map<std::uint32_t, ActiveRequest> requests_; // by request id
};

// The simulator event names a client may map, in canonical spelling; empty when unknown.
std::string_view knownClientEvent(std::string_view name);

} // namespace zeph::standin
