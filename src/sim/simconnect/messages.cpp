#include "sim/simconnect/messages.h"

#include <algorithm>
#include <bit>
#include <cstring>

#include "sim/simconnect/wire.h"

namespace zeph {

namespace {

bool holds(MessageBytes message, std::size_t end) { return message.size() >= end; }

std::uint32_t fieldU32(MessageBytes message, std::size_t offset) { return loadU32(message.data() + offset); }

} // namespace

std::string fieldText(const std::uint8_t* at, std::size_t width) {
    const std::uint8_t* end = std::find(at, at + width, std::uint8_t{0});
    return std::string(reinterpret_cast<const char*>(at), static_cast<std::size_t>(end - at));
}

std::optional<ScMessageHeader> readHeader(MessageBytes message) {
    if (!holds(message, scwire::kMessageHeaderSize)) {
        return std::nullopt;
    }
    return ScMessageHeader{fieldU32(message, 0), fieldU32(message, 4), fieldU32(message, 8)};
}

std::optional<ScException> readException(MessageBytes message) {
    using namespace scwire::exceptionMsg;
    if (!holds(message, kIndex + 4)) {
        return std::nullopt;
    }
    return ScException{fieldU32(message, kCode), fieldU32(message, kSendId), fieldU32(message, kIndex)};
}

std::optional<ScOpenReply> readOpen(MessageBytes message) {
    using namespace scwire::openMsg;
    if (!holds(message, kBuildMinor + 4)) {
        return std::nullopt;
    }
    return ScOpenReply{fieldText(message.data() + kName, kNameWidth), fieldU32(message, kAppVersionMajor),
                       fieldU32(message, kAppVersionMinor), fieldU32(message, kBuildMajor),
                       fieldU32(message, kBuildMinor)};
}

std::optional<ScEvent> readEvent(MessageBytes message) {
    using namespace scwire::eventMsg;
    if (!holds(message, kData + 4)) {
        return std::nullopt;
    }
    return ScEvent{fieldU32(message, kEventId), fieldU32(message, kData)};
}

std::optional<ScObjectAddRemove> readAddRemove(MessageBytes message) {
    using namespace scwire::addRemoveMsg;
    if (!holds(message, kObjectType + 4)) {
        return std::nullopt;
    }
    return ScObjectAddRemove{fieldU32(message, kEventId), fieldU32(message, kObjectId),
                             fieldU32(message, kObjectType)};
}

std::optional<ScAssignedObjectId> readAssignedObjectId(MessageBytes message) {
    using namespace scwire::assignedObjectIdMsg;
    if (!holds(message, kObjectId + 4)) {
        return std::nullopt;
    }
    return ScAssignedObjectId{fieldU32(message, kRequestId), fieldU32(message, kObjectId)};
}

std::optional<ScFrame> readFrame(MessageBytes message) {
    using namespace scwire::frameMsg;
    if (!holds(message, kFrameRate + 4)) {
        return std::nullopt;
    }
    return ScFrame{std::bit_cast<float>(fieldU32(message, kFrameRate))};
}

std::optional<ScObjectData> readObjectData(MessageBytes message) {
    using namespace scwire::objectDataMsg;
    if (!holds(message, kData)) {
        return std::nullopt;
    }
    return ScObjectData{fieldU32(message, kRequestId), fieldU32(message, kObjectId), message.subspan(kData)};
}

} // namespace zeph
