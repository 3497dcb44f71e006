#pragma once
#include <cstddef>
#include <cstdint>
#include <memory>

// Cuts a received byte stream into messages by their leading u32 size. Pure: no sockets, no threads, so the
// transport, the tests, the benchmark and the fuzz target all drive it the same way.

namespace zeph {

// The bytes received and not yet consumed lie between readPos and writePos; new bytes go in at writePos.
struct ReceiveBuffer {
    static constexpr std::size_t kInitialCapacity = 2048;
    static constexpr std::size_t kGrowStep = 2048;

    std::unique_ptr<std::uint8_t[]> bytes;
    std::size_t capacity = 0;
    std::size_t readPos = 0;
    std::size_t writePos = 0;

    // A fresh buffer of the initial capacity; false when there is no memory for it.
    bool attach();
    std::uint8_t* freeRoom() { return bytes.get() + writePos; }
    std::size_t freeRoomSize() const { return capacity - writePos; }
};

// The message being assembled. size 0 after a result 0 means "nothing to deliver" (skipped zero sizes).
struct ReceiveRecord {
    std::int32_t size = 0;
    std::uint32_t capacity = 0;
    std::unique_ptr<std::uint8_t[]> data;

    // Hands the data over (the record is left empty, so the next message gets its own bytes).
    std::unique_ptr<std::uint8_t[]> take();
};

enum ReassembleResult : int {
    kMessageReady = 0,
    kNeedMoreBytes = 1,
    kSizeTooLarge = 2,
    kSizeMalformed = 3,
    kNoMemory = 4,
};

// One step of the cutting: 0 a message is ready in the record (or zero sizes were skipped and the record is
// empty), 1 more bytes are needed, 2 the next size is above maxReceiveSize, 3 the next size is 1 to 3, 4 no
// memory for the message. maxReceiveSize is held to scwire::kMaxReceiveLimit, so an accepted message always
// fits the largest buffer. Afterwards the buffer has free room whenever the result is 1.
int lf_reassembleMessages(ReceiveBuffer& buffer, ReceiveRecord& record, std::uint32_t maxReceiveSize);

} // namespace zeph
