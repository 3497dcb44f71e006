#include <functional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "sim/simconnect/messages.h"
#include "sim/simconnect/sc_test_env.h"

namespace zeph::test {
namespace {

// The reader reads the fields it promises from a full message and gives no view of any shorter one.
struct ReaderCase {
    std::string name;
    std::size_t lastByteEnd; // one past the last byte the reader reads
    std::function<bool(MessageBytes)> readsOk;
};

Bytes sampleMessage() {
    Bytes image = zeroImage(400);
    for (std::size_t i = 0; i < image.size(); ++i) {
        image[i] = static_cast<std::uint8_t>(i * 7 + 1);
    }
    return image;
}

TEST(SimConnectMessages, EachReaderNeedsTheLastByteItReads) {
    const std::vector<ReaderCase> cases = {
        {"header", 12, [](MessageBytes m) { return readHeader(m).has_value(); }},
        {"exception", 24, [](MessageBytes m) { return readException(m).has_value(); }},
        {"open reply", 284, [](MessageBytes m) { return readOpen(m).has_value(); }},
        {"event", 24, [](MessageBytes m) { return readEvent(m).has_value(); }},
        {"object added or removed", 28, [](MessageBytes m) { return readAddRemove(m).has_value(); }},
        {"frame", 28, [](MessageBytes m) { return readFrame(m).has_value(); }},
        {"object data", 40, [](MessageBytes m) { return readObjectData(m).has_value(); }},
    };
    const Bytes bytes = sampleMessage();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        for (std::size_t size : {std::size_t{0}, std::size_t{4}, c.lastByteEnd - 1}) {
            EXPECT_FALSE(c.readsOk(MessageBytes(bytes.data(), size))) << "size " << size;
        }
        EXPECT_TRUE(c.readsOk(MessageBytes(bytes.data(), c.lastByteEnd)));
        EXPECT_TRUE(c.readsOk(MessageBytes(bytes.data(), bytes.size())));
    }
}

TEST(SimConnectMessages, ReadsTheFieldsAtTheirOffsets) {
    Bytes m = zeroImage(60);
    putHex(m, 0, "3C 00 00 00 23 00 00 00 08 00 00 00");
    putHex(m, 12,
           "65 00 00 00  D2 04 00 00  AA BB CC DD  00 00 F0 42  11 22 33 44  55 66 77 88  99 00 00 00");
    putHex(m, 40, "01 02 03");

    auto header = readHeader(m);
    ASSERT_TRUE(header);
    EXPECT_EQ(header->size, 60u);
    EXPECT_EQ(header->version, 35u);
    EXPECT_EQ(header->id, 8u);

    auto exception = readException(m);
    ASSERT_TRUE(exception);
    EXPECT_EQ(exception->code, 0x65u);
    EXPECT_EQ(exception->sendId, 1234u);
    EXPECT_EQ(exception->index, 0xDDCCBBAAu);

    auto event = readEvent(m);
    ASSERT_TRUE(event);
    EXPECT_EQ(event->eventId, 1234u);
    EXPECT_EQ(event->data, 0xDDCCBBAAu);

    auto added = readAddRemove(m);
    ASSERT_TRUE(added);
    EXPECT_EQ(added->objectType, 0x42F00000u);

    auto frame = readFrame(m);
    ASSERT_TRUE(frame);
    EXPECT_FLOAT_EQ(frame->frameRate, 120.0f);

    auto data = readObjectData(m);
    ASSERT_TRUE(data);
    EXPECT_EQ(data->requestId, 0x65u);
    EXPECT_EQ(data->objectId, 1234u);
    ASSERT_EQ(data->data.size(), 20u);
    EXPECT_EQ(data->data[0], 0x01);
    EXPECT_EQ(data->data[2], 0x03);
}

TEST(SimConnectMessages, OpenReplyNameEndsAtItsNulOrItsWidth) {
    struct Case {
        std::string name;
        std::string text; // written at +12, NUL-free
        bool terminated;
        std::string expected;
    };
    const std::vector<Case> cases = {
        {"short name", "Prepar3D", true, "Prepar3D"},
        {"255 characters", std::string(255, 'P'), true, std::string(255, 'P')},
        {"no NUL in the field", std::string(256, 'Q'), false, std::string(256, 'Q')},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Bytes m = zeroImage(308);
        putHex(m, 0, "34 01 00 00 23 00 00 00 02 00 00 00");
        putText(m, 12, c.text);
        // The bytes right after the field are not part of the name, NUL or not.
        putHex(m, 268, "05 00 00 00 04 00 00 00 9A 01 00 00 02 00 00 00");
        auto open = readOpen(m);
        ASSERT_TRUE(open);
        EXPECT_EQ(open->applicationName, c.expected);
        EXPECT_EQ(open->appVersionMajor, 5u);
        EXPECT_EQ(open->appVersionMinor, 4u);
        EXPECT_EQ(open->buildMajor, 410u);
        EXPECT_EQ(open->buildMinor, 2u);
    }
}

} // namespace
} // namespace zeph::test
