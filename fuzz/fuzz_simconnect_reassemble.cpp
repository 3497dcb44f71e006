// Random bytes in random chunk sizes through the message cutting, and every reader over each message it
// delivers. Input: byte 0 picks the size limit, bytes 1-4 seed the chunk sizes, the rest is the stream.
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "sim/simconnect/messages.h"
#include "sim/simconnect/reassemble.h"

namespace {

constexpr std::uint32_t kLimits[] = {12, 100, 41088, 100000, 1048576, 0xFFFFFFFFu};

std::uint32_t nextChunk(std::uint32_t& state) {
    state = state * 1664525u + 1013904223u;
    return 1 + (state >> 8) % 4096;
}

void readEverything(const std::uint8_t* data, std::size_t size) {
    zeph::MessageBytes message(data, size);
    volatile std::size_t sink = 0;
    if (auto header = zeph::readHeader(message)) {
        sink = sink + header->id;
    }
    if (auto exception = zeph::readException(message)) {
        sink = sink + exception->sendId;
    }
    if (auto open = zeph::readOpen(message)) {
        sink = sink + open->applicationName.size();
    }
    if (auto event = zeph::readEvent(message)) {
        sink = sink + event->data;
    }
    if (auto added = zeph::readAddRemove(message)) {
        sink = sink + added->objectId;
    }
    if (auto frame = zeph::readFrame(message)) {
        sink = sink + static_cast<std::size_t>(frame->frameRate == 0.0f);
    }
    if (auto objectData = zeph::readObjectData(message)) {
        for (std::uint8_t byte : objectData->data) {
            sink = sink + byte;
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 5) {
        return 0;
    }
    std::uint32_t limit = kLimits[data[0] % (sizeof kLimits / sizeof kLimits[0])];
    std::uint32_t state = 0;
    std::memcpy(&state, data + 1, 4);
    const std::uint8_t* stream = data + 5;
    std::size_t left = size - 5;

    zeph::ReceiveBuffer buffer;
    zeph::ReceiveRecord record;
    if (!buffer.attach()) {
        return 0;
    }
    while (left > 0) {
        std::size_t room = buffer.freeRoomSize();
        if (room == 0) {
            __builtin_trap(); // the cutting must always leave room while it waits for bytes
        }
        std::size_t chunk = nextChunk(state);
        chunk = chunk < room ? chunk : room;
        chunk = chunk < left ? chunk : left;
        std::memcpy(buffer.freeRoom(), stream, chunk);
        buffer.writePos += chunk;
        stream += chunk;
        left -= chunk;
        for (;;) {
            int result = zeph::lf_reassembleMessages(buffer, record, limit);
            if (result == zeph::kNeedMoreBytes) {
                break;
            }
            if (result != zeph::kMessageReady) {
                return 0; // the transport closes here
            }
            if (record.size > 0) {
                auto messageSize = static_cast<std::size_t>(record.size);
                auto bytes = record.take();
                readEverything(bytes.get(), messageSize);
            }
        }
    }
    return 0;
}
