#pragma once
#include <cstddef>
#include <cstdint>

// The SimConnect wire format as the client speaks it: little-endian, packed, fixed-width text fields that
// end in a NUL inside the field. Offsets count from the first byte of a packet or message.

namespace zeph {

// Result codes of the client's calls, of the HRESULT kind: zero is success, negative is failure.
inline constexpr std::int32_t S_OK = 0;
inline constexpr std::int32_t E_FAIL = static_cast<std::int32_t>(0x80004005u);
inline constexpr std::int32_t E_INVALIDARG = static_cast<std::int32_t>(0x80070057u);
inline constexpr std::int32_t E_INSUFFICIENT_BUFFER = static_cast<std::int32_t>(0x8007007Au); // text too long
inline constexpr std::int32_t E_ABORT = static_cast<std::int32_t>(0x80004004u);
inline constexpr std::int32_t E_OUTOFMEMORY = static_cast<std::int32_t>(0x8007000Eu);

// Transport failures, recorded when the connection breaks and returned by every later call.
inline constexpr std::int32_t STATUS_REMOTE_DISCONNECT = static_cast<std::int32_t>(0xC000013Cu);
inline constexpr std::int32_t STATUS_LINK_FAILED = static_cast<std::int32_t>(0xC000013Eu);
inline constexpr std::int32_t STATUS_PIPE_BROKEN = static_cast<std::int32_t>(0xC000014Bu);
inline constexpr std::int32_t STATUS_CONNECTION_RESET = static_cast<std::int32_t>(0xC000020Du);
inline constexpr std::int32_t STATUS_CANCELLED = static_cast<std::int32_t>(0xC0000120u);

namespace scwire {

inline constexpr std::uint32_t kProtocol = 35;
inline constexpr std::size_t kHeaderSize = 16; // request packets
inline constexpr std::size_t kSize = 0;
inline constexpr std::size_t kVersion = 4;
inline constexpr std::size_t kPacketId = 8;
inline constexpr std::size_t kSendId = 12;

// Every packet is built in an area of this size; no packet may be larger.
inline constexpr std::size_t kPacketAreaSize = 41088;
inline constexpr std::uint32_t kDefaultMaxReceiveSize = 41088;
// The largest message the client ever accepts, whatever SimConnect.cfg says: a larger limit could let one
// incomplete message fill the receive buffer, or make a peer's size field allocate gigabytes.
inline constexpr std::uint32_t kMaxReceiveLimit = 1048576;

inline constexpr std::uint32_t packetId(std::uint32_t number) { return 0xF0000000u | number; }

namespace open {
inline constexpr std::uint32_t kId = packetId(0x01);
inline constexpr std::size_t kPacketSize = 296;
inline constexpr std::size_t kName = 16, kNameWidth = 256;
inline constexpr std::size_t kReserved = 272;
inline constexpr std::size_t kSimTag = 276; // the bytes 00 'D' '3' 'P'
inline constexpr std::uint32_t kSimTagValue = 0x50334400u;
inline constexpr std::size_t kVersionMajor = 280, kVersionMinor = 284, kBuildMajor = 288, kBuildMinor = 292;
inline constexpr std::uint32_t kVersionMajorValue = 5, kVersionMinorValue = 3;
} // namespace open

namespace mapClientEvent {
inline constexpr std::uint32_t kId = packetId(0x04);
inline constexpr std::size_t kPacketSize = 276;
inline constexpr std::size_t kEventId = 16, kEventName = 20, kEventNameWidth = 256;
} // namespace mapClientEvent

namespace transmitClientEvent {
inline constexpr std::uint32_t kId = packetId(0x05);
inline constexpr std::size_t kPacketSize = 36;
inline constexpr std::size_t kObjectId = 16, kEventId = 20, kData = 24, kGroupId = 28, kFlags = 32;
} // namespace transmitClientEvent

namespace addToNotificationGroup {
inline constexpr std::uint32_t kId = packetId(0x07);
inline constexpr std::size_t kPacketSize = 28;
inline constexpr std::size_t kGroupId = 16, kEventId = 20, kMaskable = 24;
} // namespace addToNotificationGroup

namespace setGroupPriority {
inline constexpr std::uint32_t kId = packetId(0x09);
inline constexpr std::size_t kPacketSize = 24;
inline constexpr std::size_t kGroupId = 16, kPriority = 20;
} // namespace setGroupPriority

namespace addToDataDefinition {
inline constexpr std::uint32_t kId = packetId(0x0C);
inline constexpr std::size_t kPacketSize = 544;
inline constexpr std::size_t kDefineId = 16, kDatumName = 20, kUnitsName = 276, kTextWidth = 256;
inline constexpr std::size_t kDatumType = 532, kEpsilon = 536, kDatumId = 540;
} // namespace addToDataDefinition

namespace requestDataOnSimObject {
inline constexpr std::uint32_t kId = packetId(0x0E);
inline constexpr std::size_t kPacketSize = 48;
inline constexpr std::size_t kRequestId = 16, kDefineId = 20, kObjectId = 24, kPeriod = 28, kFlags = 32;
inline constexpr std::size_t kOrigin = 36, kInterval = 40, kLimit = 44;
} // namespace requestDataOnSimObject

namespace requestDataOnSimObjectType {
inline constexpr std::uint32_t kId = packetId(0x0F);
inline constexpr std::size_t kPacketSize = 32;
inline constexpr std::size_t kRequestId = 16, kDefineId = 20, kRadius = 24, kObjectType = 28;
} // namespace requestDataOnSimObjectType

namespace setDataOnSimObject {
inline constexpr std::uint32_t kId = packetId(0x10);
inline constexpr std::size_t kFixedSize = 36; // followed by count x unit bytes of data
inline constexpr std::size_t kDefineId = 16, kObjectId = 20, kFlags = 24, kCount = 28, kUnitSize = 32;
inline constexpr std::size_t kData = 36;
} // namespace setDataOnSimObject

namespace subscribeToSystemEvent {
inline constexpr std::uint32_t kId = packetId(0x17);
inline constexpr std::size_t kPacketSize = 276;
inline constexpr std::size_t kEventId = 16, kEventName = 20, kEventNameWidth = 256;
} // namespace subscribeToSystemEvent

namespace aiCreateNonAtcAircraft {
inline constexpr std::uint32_t kId = packetId(0x29);
inline constexpr std::size_t kPacketSize = 344;
inline constexpr std::size_t kTitle = 16, kTitleWidth = 256;
inline constexpr std::size_t kTailNumber = 272, kTailNumberWidth = 12;
inline constexpr std::size_t kInitPosition = 284, kInitPositionSize = 56;
inline constexpr std::size_t kRequestId = 340;
} // namespace aiCreateNonAtcAircraft

namespace aiReleaseControl {
inline constexpr std::uint32_t kId = packetId(0x2B);
inline constexpr std::size_t kPacketSize = 24;
inline constexpr std::size_t kObjectId = 16, kRequestId = 20;
} // namespace aiReleaseControl

namespace aiRemoveObject {
inline constexpr std::uint32_t kId = packetId(0x2C);
inline constexpr std::size_t kPacketSize = 24;
inline constexpr std::size_t kObjectId = 16, kRequestId = 20;
} // namespace aiRemoveObject

namespace aiSetAircraftFlightPlan {
inline constexpr std::uint32_t kId = packetId(0x2D);
inline constexpr std::size_t kPacketSize = 284;
inline constexpr std::size_t kObjectId = 16, kPath = 20, kPathWidth = 260, kRequestId = 280;
} // namespace aiSetAircraftFlightPlan

// Received messages: a 12-byte header (size, protocol version, message id), then the fields of the kind.
inline constexpr std::size_t kMessageHeaderSize = 12;
inline constexpr std::uint32_t kMsgException = 1;
inline constexpr std::uint32_t kMsgOpen = 2;
inline constexpr std::uint32_t kMsgQuit = 3;
inline constexpr std::uint32_t kMsgEvent = 4;
inline constexpr std::uint32_t kMsgObjectAddRemove = 5;
inline constexpr std::uint32_t kMsgFileName = 6;
inline constexpr std::uint32_t kMsgFrame = 7;
inline constexpr std::uint32_t kMsgObjectData = 8;
inline constexpr std::uint32_t kMsgObjectDataByType = 9;
inline constexpr std::uint32_t kMsgAssignedObjectId = 12;
inline constexpr std::uint32_t kMsgOther16 = 16;

namespace exceptionMsg {
inline constexpr std::size_t kCode = 12, kSendId = 16, kIndex = 20;
} // namespace exceptionMsg

namespace openMsg {
inline constexpr std::size_t kName = 12, kNameWidth = 256;
inline constexpr std::size_t kAppVersionMajor = 268, kAppVersionMinor = 272, kBuildMajor = 276,
                             kBuildMinor = 280;
} // namespace openMsg

namespace eventMsg {
inline constexpr std::size_t kEventId = 16, kData = 20;
} // namespace eventMsg

namespace addRemoveMsg {
inline constexpr std::size_t kEventId = 16, kObjectId = 20, kObjectType = 24;
} // namespace addRemoveMsg

namespace assignedObjectIdMsg {
inline constexpr std::size_t kRequestId = 12, kObjectId = 16;
} // namespace assignedObjectIdMsg

namespace frameMsg {
inline constexpr std::size_t kFrameRate = 24;
} // namespace frameMsg

namespace objectDataMsg {
inline constexpr std::size_t kRequestId = 12, kObjectId = 16, kData = 40;
} // namespace objectDataMsg

} // namespace scwire
} // namespace zeph
