#include <algorithm>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "sim/simconnect/reassemble.h"
#include "support/raw_peer.h"

namespace zeph::test {
namespace {

// A message of the given size: its size field, then bytes that tell messages apart.
Bytes message(std::uint32_t size, std::uint8_t tag) {
    Bytes bytes;
    appendU32(bytes, size);
    for (std::uint32_t i = 4; i < size; ++i) {
        bytes.push_back(static_cast<std::uint8_t>(tag + i));
    }
    return bytes;
}

Bytes join(std::initializer_list<Bytes> parts) {
    Bytes all;
    for (const auto& part : parts) {
        all.insert(all.end(), part.begin(), part.end());
    }
    return all;
}

Bytes slice(const Bytes& bytes, std::size_t from, std::size_t count) {
    return Bytes(bytes.begin() + static_cast<std::ptrdiff_t>(from),
                 bytes.begin() + static_cast<std::ptrdiff_t>(from + count));
}

// Feeds reads the way the transport does: each read fills at most the free room, then the cutting runs
// until it needs more bytes or refuses the stream.
struct Drive {
    ReceiveBuffer buffer;
    ReceiveRecord record;
    std::vector<std::vector<int>> resultsPerRead;
    std::vector<Bytes> delivered;
    int lastResult = kNeedMoreBytes;
    std::size_t largestCapacity = 0;

    explicit Drive(const std::vector<Bytes>& reads, std::uint32_t maxReceiveSize) {
        EXPECT_TRUE(buffer.attach());
        for (const auto& read : reads) {
            std::size_t offset = 0;
            while (offset < read.size() && lastResult < kSizeTooLarge) {
                std::size_t count = std::min(buffer.freeRoomSize(), read.size() - offset);
                std::memcpy(buffer.freeRoom(), read.data() + offset, count);
                buffer.writePos += count;
                offset += count;
                resultsPerRead.push_back(cutAll(maxReceiveSize));
            }
        }
    }

    std::vector<int> cutAll(std::uint32_t maxReceiveSize) {
        std::vector<int> results;
        for (;;) {
            lastResult = lf_reassembleMessages(buffer, record, maxReceiveSize);
            results.push_back(lastResult);
            largestCapacity = std::max(largestCapacity, buffer.capacity);
            if (lastResult != kMessageReady) {
                return results;
            }
            if (record.size > 0) {
                auto size = static_cast<std::size_t>(record.size);
                auto data = record.take();
                delivered.emplace_back(data.get(), data.get() + size);
            }
        }
    }
};

struct ReassembleCase {
    std::string name;
    std::vector<Bytes> reads;
    std::uint32_t maxReceiveSize;
    std::optional<std::vector<std::vector<int>>> results; // per read
    std::vector<Bytes> delivered;
    std::size_t capacity;
    std::size_t readPos;
    std::size_t writePos;
};

TEST(SimConnectReassemble, CutsTheStreamCaseByCase) {
    const Bytes a = message(16, 0x10);
    const Bytes b = message(20, 0x20);
    const Bytes long300 = message(300, 0x30);
    const Bytes full = message(41088, 0x40);
    const Bytes first1000 = message(1000, 0x50);
    const Bytes second2000 = message(2000, 0x60);
    const Bytes zero = {0, 0, 0, 0};
    const Bytes maxed = message(100, 0x70);

    const std::vector<ReassembleCase> cases = {
        {"two messages in one read", {join({a, b})}, 41088, {{{0, 0, 1}}}, {a, b}, 2048, 0, 0},
        {"300 bytes in reads of 100",
         {slice(long300, 0, 100), slice(long300, 100, 100), slice(long300, 200, 100)},
         41088,
         {{{1}, {1}, {0, 1}}},
         {long300},
         2048,
         0,
         0},
        {"4 zero bytes between two messages",
         {join({a, zero, b})},
         41088,
         {{{0, 0, 0, 1}}},
         {a, b},
         2048,
         0,
         0},
        {"size 1", {{1, 0, 0, 0, 9, 9, 9, 9}}, 41088, {{{3}}}, {}, 2048, 0, 8},
        {"size 2", {{2, 0, 0, 0}}, 41088, {{{3}}}, {}, 2048, 0, 4},
        {"size 3", {{3, 0, 0, 0}}, 41088, {{{3}}}, {}, 2048, 0, 4},
        {"exactly the limit", {maxed}, 100, {{{0, 1}}}, {maxed}, 2048, 0, 0},
        {"one byte over the limit", {message(101, 0x71)}, 100, {{{2}}}, {}, 2048, 0, 101},
        {"41088 bytes from the buffer start", {full}, 41088, std::nullopt, {full}, 43008, 0, 0},
        {"consumed bytes move to the front",
         {join({first1000, slice(second2000, 0, 1048)})},
         41088,
         {{{0, 1}}},
         {first1000},
         2048,
         0,
         1048},
        {"trailing size 0", {join({a, zero})}, 41088, {{{0, 0, 1}}}, {a}, 2048, 0, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Drive drive(c.reads, c.maxReceiveSize);
        if (c.results) {
            EXPECT_EQ(drive.resultsPerRead, *c.results);
        }
        EXPECT_EQ(drive.delivered, c.delivered);
        EXPECT_EQ(drive.buffer.capacity, c.capacity);
        EXPECT_EQ(drive.buffer.readPos, c.readPos);
        EXPECT_EQ(drive.buffer.writePos, c.writePos);
    }
}

TEST(SimConnectReassemble, GrowsOnlyInStepsWhileOneMessageFillsTheBuffer) {
    // A 41,088-byte message that starts at the buffer start: 2048, 4096, ... up to 43,008, never more.
    Drive drive({message(41088, 1)}, 41088);
    ASSERT_EQ(drive.delivered.size(), 1u);
    EXPECT_EQ(drive.largestCapacity, 43008u);

    // The same bytes after a small message need no more room: the front is reused first.
    Drive after({join({message(16, 2), message(41088, 3)})}, 41088);
    ASSERT_EQ(after.delivered.size(), 2u);
    EXPECT_EQ(after.largestCapacity, 43008u);
}

TEST(SimConnectReassemble, HoldsAnyLimitToOneMebibyte) {
    // A limit far above 1 MiB still refuses a size above 1 MiB, so a peer's size field never allocates more.
    const std::vector<std::pair<std::uint32_t, int>> cases = {
        {1048576u, kNeedMoreBytes},
        {1048577u, kSizeTooLarge},
        {0xFFFFFFFFu, kSizeTooLarge},
    };
    for (const auto& [size, expected] : cases) {
        SCOPED_TRACE(size);
        Bytes header;
        appendU32(header, size);
        Drive drive({header}, 0xFFFFFFFFu);
        EXPECT_EQ(drive.lastResult, expected);
        EXPECT_LE(drive.record.capacity, 1048576u);
    }
}

TEST(SimConnectReassemble, AMessageOfTheLargestAcceptedSizeFitsTheLargestBuffer) {
    Drive drive({message(1048576, 4)}, 0xFFFFFFFFu);
    ASSERT_EQ(drive.delivered.size(), 1u);
    EXPECT_EQ(drive.delivered[0].size(), 1048576u);
    EXPECT_EQ(drive.largestCapacity, 1048576u);
}

} // namespace
} // namespace zeph::test
