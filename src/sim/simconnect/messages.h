#pragma once
#include <cstdint>
#include <optional>
#include <span>
#include <string>

// Bounded readers of the messages a SimConnect server sends. Every byte of a message is untrusted: each
// reader looks only inside the span it is given and returns nullopt when the message ends before the last
// byte it would read. A text field without a NUL ends at the field's width.

namespace zeph {

using MessageBytes = std::span<const std::uint8_t>;

struct ScMessageHeader {
    std::uint32_t size = 0;
    std::uint32_t version = 0;
    std::uint32_t id = 0;
};

struct ScException {
    std::uint32_t code = 0;
    std::uint32_t sendId = 0; // of the request packet that caused it
    std::uint32_t index = 0;  // of the failing argument
};

struct ScOpenReply {
    std::string applicationName;
    std::uint32_t appVersionMajor = 0;
    std::uint32_t appVersionMinor = 0;
    std::uint32_t buildMajor = 0;
    std::uint32_t buildMinor = 0;
};

struct ScEvent {
    std::uint32_t eventId = 0;
    std::uint32_t data = 0;
};

struct ScObjectAddRemove {
    std::uint32_t eventId = 0;
    std::uint32_t objectId = 0;
    std::uint32_t objectType = 0;
};

// The object the simulator made for a creation, named by the creation's request id.
struct ScAssignedObjectId {
    std::uint32_t requestId = 0;
    std::uint32_t objectId = 0;
};

struct ScFrame {
    float frameRate = 0.0f;
};

// Object data (message 8) and object data by type (message 9) share one layout.
struct ScObjectData {
    std::uint32_t requestId = 0;
    std::uint32_t objectId = 0;
    MessageBytes data; // from its start to the end of the message
};

std::optional<ScMessageHeader> readHeader(MessageBytes message);
std::optional<ScException> readException(MessageBytes message);
std::optional<ScOpenReply> readOpen(MessageBytes message);
std::optional<ScEvent> readEvent(MessageBytes message);
std::optional<ScObjectAddRemove> readAddRemove(MessageBytes message);
std::optional<ScAssignedObjectId> readAssignedObjectId(MessageBytes message);
std::optional<ScFrame> readFrame(MessageBytes message);
std::optional<ScObjectData> readObjectData(MessageBytes message);

// Little-endian field access for the packet and message code; the caller has checked the bounds.
inline std::uint32_t loadU32(const std::uint8_t* at) {
    return static_cast<std::uint32_t>(at[0]) | static_cast<std::uint32_t>(at[1]) << 8 |
           static_cast<std::uint32_t>(at[2]) << 16 | static_cast<std::uint32_t>(at[3]) << 24;
}

// The text of a fixed-width field: up to its first NUL, or the whole width when it has none.
std::string fieldText(const std::uint8_t* at, std::size_t width);

inline void storeU32(std::uint8_t* at, std::uint32_t value) {
    at[0] = static_cast<std::uint8_t>(value);
    at[1] = static_cast<std::uint8_t>(value >> 8);
    at[2] = static_cast<std::uint8_t>(value >> 16);
    at[3] = static_cast<std::uint8_t>(value >> 24);
}

} // namespace zeph
