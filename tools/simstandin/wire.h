#pragma once
// The stand-in's own SimConnect codec: request packets in, messages out. Every field is read and written
// byte by byte in little-endian order at its offset; nothing is cast onto a struct.
#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace zeph::standin {

inline constexpr std::uint32_t kPacketPrefix = 0xF0000000U;
inline constexpr std::size_t kRequestHeaderSize = 16;
inline constexpr std::size_t kMessageHeaderSize = 12;
inline constexpr std::uint32_t kMaxPacketSize = 41088;
inline constexpr std::uint32_t kUnknownGroup = 0xFFFFFFFFU;
inline constexpr std::uint32_t kAliasPrepar3d = 0x50334400U;  // 00 44 33 50 on the wire
inline constexpr std::uint32_t kAliasFsx = 0x46535800U;       // "\0XSF"
inline constexpr std::uint32_t kAliasKittyHawk = 0x004B4800U; // "\0HK\0"
inline constexpr std::uint32_t kAliasSunRise = 0x00535200U;   // "\0RS\0"
inline constexpr std::uint32_t kProtocolPrepar3d = 35;

// Request packet numbers (the low bits of the packet id).
enum class PacketKind : std::uint32_t {
    Open = 0x01,
    MapClientEvent = 0x04,
    TransmitClientEvent = 0x05,
    AddToGroup = 0x07,
    GroupPriority = 0x09,
    AddToDataDefinition = 0x0C,
    RequestData = 0x0E,
    RequestDataByType = 0x0F,
    SetData = 0x10,
    SubscribeSystemEvent = 0x17,
    AiCreateNonAtc = 0x29,
    AiReleaseControl = 0x2B,
    AiRemoveObject = 0x2C,
    AiSetFlightPlan = 0x2D,
};

// Message ids sent to the client.
enum class MessageId : std::uint32_t {
    Exception = 1,
    Open = 2,
    Quit = 3,
    Event = 4,
    ObjectAddRemove = 5,
    FileName = 6,
    Frame = 7,
    ObjectData = 8,
    ObjectDataByType = 9,
    AssignedObjectId = 12,
};

// Exception codes the stand-in answers with.
enum class ExceptionCode : std::uint32_t {
    SizeMismatch = 2,
    UnrecognizedId = 3,
    Unopened = 4,
    VersionMismatch = 5,
    NameUnrecognized = 7,
    InvalidDataType = 18,
    InvalidDataSize = 19,
    CreateObjectFailed = 22,
    LoadFlightPlanFailed = 23,
    OperationInvalidForObjectType = 24,
    OutOfBounds = 31,
};

// The packet kind of a full packet id, or nothing when the id is not one of the fourteen.
std::optional<PacketKind> packetKindOf(std::uint32_t packetId);
// The fixed size of a packet kind; SetData gives its 36-byte head.
std::uint32_t packetSizeOf(PacketKind kind);
// "Open", "SetData", ... for logs and the control channel.
std::string_view packetKindName(PacketKind kind);

// Little-endian access on a byte buffer. Readers take the offset from the start of the buffer; the caller
// has checked the length.
std::uint32_t readU32(std::string_view bytes, std::size_t offset);
std::int64_t readI64(std::string_view bytes, std::size_t offset);
float readF32(std::string_view bytes, std::size_t offset);
double readF64(std::string_view bytes, std::size_t offset);
void appendU32(std::string& out, std::uint32_t value);
void appendI32(std::string& out, std::int32_t value);
void appendI64(std::string& out, std::int64_t value);
void appendF32(std::string& out, float value);
void appendF64(std::string& out, double value);
// A fixed-width text field: the text, cut to width - 1, then zeros up to the width.
void appendText(std::string& out, std::string_view text, std::size_t width);
void writeU32At(std::string& out, std::size_t offset, std::uint32_t value);

struct PacketHeader {
    std::uint32_t size = 0;
    std::uint32_t version = 0;
    std::uint32_t id = 0;
    std::uint32_t sendId = 0;
};
PacketHeader readPacketHeader(std::string_view packet);

struct OpenPacket {
    std::string appName;
    std::uint32_t reserved = 0;
    std::uint32_t alias = 0;
    std::array<std::uint32_t, 4> version{};
};
struct MapEventPacket {
    std::uint32_t eventId = 0;
    std::string name;
};
struct TransmitEventPacket {
    std::uint32_t objectId = 0;
    std::uint32_t eventId = 0;
    std::uint32_t data = 0;
    std::uint32_t groupId = 0;
    std::uint32_t flags = 0;
};
struct GroupAddPacket {
    std::uint32_t groupId = 0;
    std::uint32_t eventId = 0;
    std::uint32_t maskable = 0;
};
struct GroupPriorityPacket {
    std::uint32_t groupId = 0;
    std::uint32_t priority = 0;
};
struct AddDatumPacket {
    std::uint32_t defineId = 0;
    std::string name;
    std::string units;
    std::uint32_t type = 0;
    float epsilon = 0.0F;
    std::uint32_t datumId = 0;
};
struct RequestDataPacket {
    std::uint32_t requestId = 0;
    std::uint32_t defineId = 0;
    std::uint32_t objectId = 0;
    std::uint32_t period = 0;
    std::uint32_t flags = 0;
    std::uint32_t origin = 0;
    std::uint32_t interval = 0;
    std::uint32_t limit = 0;
};
struct RequestByTypePacket {
    std::uint32_t requestId = 0;
    std::uint32_t defineId = 0;
    std::uint32_t radius = 0;
    std::uint32_t objectType = 0;
};
struct SetDataPacket {
    std::uint32_t defineId = 0;
    std::uint32_t objectId = 0;
    std::uint32_t flags = 0;
    std::uint32_t count = 0;
    std::uint32_t unitSize = 0;
    std::string data;
};
struct SubscribePacket {
    std::uint32_t eventId = 0;
    std::string name;
};
// The initial position of a new AI aircraft: degrees, feet and knots.
struct InitPosition {
    double lat = 0.0;
    double lon = 0.0;
    double alt = 0.0;
    double pitch = 0.0;
    double bank = 0.0;
    double heading = 0.0;
    std::uint32_t onGround = 0;
    std::uint32_t airspeed = 0;
};
struct CreateAircraftPacket {
    std::string title;
    std::string tailNumber;
    InitPosition init;
    std::uint32_t requestId = 0;
};
struct ObjectRequestPacket { // release control and remove object share their layout
    std::uint32_t objectId = 0;
    std::uint32_t requestId = 0;
};
struct FlightPlanPacket {
    std::uint32_t objectId = 0;
    std::string path;
    std::uint32_t requestId = 0;
};

using PacketFields =
    std::variant<std::monostate, OpenPacket, MapEventPacket, TransmitEventPacket, GroupAddPacket,
                 GroupPriorityPacket, AddDatumPacket, RequestDataPacket, RequestByTypePacket, SetDataPacket,
                 SubscribePacket, CreateAircraftPacket, ObjectRequestPacket, FlightPlanPacket>;

struct DecodedPacket {
    PacketFields fields;
    // Names of text fields that had no terminator inside their width; such a text is cut at the width.
    std::vector<std::string> unterminated;
};

// Decodes the fields of one whole packet of a known kind whose size has been checked.
DecodedPacket decodePacket(PacketKind kind, std::string_view packet);

// The size a SetData packet declares through its count and unit size, in 64 bits so no product wraps.
std::uint64_t setDataDeclaredSize(std::string_view packet);

struct AppVersion {
    std::uint32_t major = 0;
    std::uint32_t minor = 0;
    std::uint32_t buildMajor = 0;
    std::uint32_t buildMinor = 0;
};

struct ObjectDataHead {
    std::uint32_t requestId = 0;
    std::uint32_t objectId = 0;
    std::uint32_t defineId = 0;
    std::uint32_t flags = 0;
    std::uint32_t entry = 1;
    std::uint32_t outOf = 1;
    std::uint32_t defineCount = 0;
};

// Whole messages, header included; `version` is the connection's protocol version.
std::string encodeException(std::uint32_t version, ExceptionCode code, std::uint32_t sendId,
                            std::uint32_t index);
std::string encodeExceptionCode(std::uint32_t version, std::uint32_t code, std::uint32_t sendId,
                                std::uint32_t index);
std::string encodeOpenReply(std::uint32_t version, std::string_view appName, const AppVersion& app);
std::string encodeQuit(std::uint32_t version);
std::string encodeEvent(std::uint32_t version, std::uint32_t group, std::uint32_t eventId,
                        std::uint32_t data);
std::string encodeAddRemove(std::uint32_t version, std::uint32_t eventId, std::uint32_t objectId,
                            std::uint32_t objectType);
std::string encodeFileName(std::uint32_t version, std::uint32_t eventId, std::string_view fileName,
                           std::uint32_t flags);
std::string encodeFrame(std::uint32_t version, std::uint32_t eventId, float frameRate, float simSpeed);
std::string encodeObjectData(std::uint32_t version, MessageId id, const ObjectDataHead& head,
                             std::string_view data);
std::string encodeAssignedObjectId(std::uint32_t version, std::uint32_t requestId, std::uint32_t objectId);

} // namespace zeph::standin
