#include "sim/simconnect/reassemble.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "sim/simconnect/messages.h"
#include "sim/simconnect/wire.h"

namespace zeph {

namespace {

// Null when there is no memory: a size from the peer must never end in an exception.
std::unique_ptr<std::uint8_t[]> allocateBytes(std::size_t size) {
    try {
        return std::make_unique_for_overwrite<std::uint8_t[]>(size);
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

std::size_t unconsumed(const ReceiveBuffer& buffer) { return buffer.writePos - buffer.readPos; }

void resetWhenEmpty(ReceiveBuffer& buffer) {
    if (buffer.readPos == buffer.writePos) {
        buffer.readPos = 0;
        buffer.writePos = 0;
    }
}

// A size field of 0 carries nothing: step over it and over every zero byte after it.
void skipZeroSizes(ReceiveBuffer& buffer, ReceiveRecord& record) {
    ++buffer.readPos;
    while (buffer.readPos < buffer.writePos && buffer.bytes[buffer.readPos] == 0) {
        ++buffer.readPos;
    }
    resetWhenEmpty(buffer);
    record.size = 0;
}

int takeMessage(ReceiveBuffer& buffer, ReceiveRecord& record, std::uint32_t size) {
    if (record.capacity < size) {
        record.data.reset();
        record.capacity = 0;
        record.data = allocateBytes(size);
        if (!record.data) {
            return kNoMemory;
        }
        record.capacity = size;
    }
    record.size = static_cast<std::int32_t>(size);
    if (unconsumed(buffer) < size) {
        return kNeedMoreBytes;
    }
    std::memcpy(record.data.get(), buffer.bytes.get() + buffer.readPos, size);
    buffer.readPos += size;
    resetWhenEmpty(buffer);
    return kMessageReady;
}

// Keeps room free at the end: consumed bytes go out at the front, and only one incomplete message that
// fills the whole buffer makes it grow.
int makeRoom(ReceiveBuffer& buffer, int result) {
    if (buffer.writePos < buffer.capacity) {
        return result;
    }
    if (buffer.readPos > 0) {
        std::size_t left = unconsumed(buffer);
        std::memmove(buffer.bytes.get(), buffer.bytes.get() + buffer.readPos, left);
        buffer.readPos = 0;
        buffer.writePos = left;
        return result;
    }
    if (buffer.capacity < scwire::kMaxReceiveLimit) {
        std::size_t grown = buffer.capacity + ReceiveBuffer::kGrowStep;
        auto bytes = allocateBytes(grown);
        if (!bytes) {
            return kNoMemory;
        }
        std::memcpy(bytes.get(), buffer.bytes.get(), buffer.writePos);
        buffer.bytes = std::move(bytes);
        buffer.capacity = grown;
    }
    return result;
}

} // namespace

bool ReceiveBuffer::attach() {
    bytes = allocateBytes(kInitialCapacity);
    capacity = bytes ? kInitialCapacity : 0;
    readPos = 0;
    writePos = 0;
    return capacity != 0;
}

std::unique_ptr<std::uint8_t[]> ReceiveRecord::take() {
    size = 0;
    capacity = 0;
    return std::move(data);
}

int lf_reassembleMessages(ReceiveBuffer& buffer, ReceiveRecord& record, std::uint32_t maxReceiveSize) {
    maxReceiveSize = std::min(maxReceiveSize, scwire::kMaxReceiveLimit);
    int result = kNeedMoreBytes;
    if (unconsumed(buffer) >= 4) {
        std::uint32_t size = loadU32(buffer.bytes.get() + buffer.readPos);
        if (size > maxReceiveSize) {
            return kSizeTooLarge;
        }
        if (size == 0) {
            skipZeroSizes(buffer, record);
            result = kMessageReady;
        } else if (size < 4) {
            return kSizeMalformed;
        } else {
            result = takeMessage(buffer, record, size);
            if (result == kNoMemory) {
                return result;
            }
        }
    }
    // Another whole message waits already: the caller comes back at once, no need to make room yet.
    std::size_t left = unconsumed(buffer);
    if (result == kMessageReady && left >= 4 && loadU32(buffer.bytes.get() + buffer.readPos) <= left) {
        return result;
    }
    return makeRoom(buffer, result);
}

} // namespace zeph
