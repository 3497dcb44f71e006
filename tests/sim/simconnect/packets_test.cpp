#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "sim/simconnect/calls.h"
#include "sim/simconnect/sc_test_env.h"

// The request packets on the wire, byte by byte. Every expected image is written here from the packet
// layouts (sizes, ids and offsets as literals), never from the client's own constants.

namespace zeph::test {
namespace {

// A client opened as the program opens it, over the default local pipe, to a peer that captures.
class SimConnectPackets : public ::testing::Test {
protected:
    void SetUp() override {
        peer_ = RawPeer::listenUnix(env_.defaultPipePath());
        ASSERT_TRUE(peer_);
        ASSERT_EQ(SimConnect_Open(&handle_, "Corvane_P3D", nullptr, 0, nullptr, 0), S_OK);
        ASSERT_NE(handle_, nullptr);
        ASSERT_TRUE(peer_->waitForMessages(1));
    }

    // The next message the peer gets, counted from what the test has taken so far (not from what has
    // arrived, which may already include the message asked for).
    Bytes nextMessage() {
        std::size_t count = ++taken_;
        EXPECT_TRUE(peer_->waitForMessages(count));
        auto messages = peer_->received();
        return messages.size() >= count ? messages[count - 1] : Bytes{};
    }

    SimConnectTestEnv env_;
    std::unique_ptr<RawPeer> peer_;
    SimConnectClient* handle_ = nullptr;
    ClientCloser closer_{handle_};
    std::size_t taken_ = 1; // the Open packet
};

// The 56-byte initial position as the caller lays it out: six doubles, then two u32.
Bytes initPositionBlock() {
    const double doubles[6] = {50.0, 8.5, 364.0, 0.0, 0.0, 250.0};
    const std::uint32_t words[2] = {1, 0};
    Bytes block(56);
    std::memcpy(block.data(), doubles, sizeof doubles);
    std::memcpy(block.data() + 48, words, sizeof words);
    return block;
}

struct GoldenCase {
    std::string name;
    std::function<std::int32_t(SimConnectClient*)> call;
    Bytes expected;
};

Bytes image(std::size_t size, std::string_view header) {
    Bytes bytes = zeroImage(size);
    putHex(bytes, 0, header);
    return bytes;
}

std::vector<GoldenCase> goldenCases(const Bytes& positionBlock, const Bytes& block64) {
    std::vector<GoldenCase> cases;
    Bytes subscribe = image(276, "14 01 00 00 23 00 00 00 17 00 00 F0 02 00 00 00");
    putHex(subscribe, 16, "C9 00 00 00");
    putText(subscribe, 20, "Sim");
    cases.push_back({"SubscribeToSystemEvent",
                     [](auto* h) { return SimConnect_SubscribeToSystemEvent(h, 201, "Sim"); }, subscribe});

    Bytes define = image(544, "20 02 00 00 23 00 00 00 0C 00 00 F0 03 00 00 00");
    putHex(define, 16, "92 01 00 00");
    putText(define, 20, "Plane Latitude");
    putText(define, 276, "degree");
    putHex(define, 532, "04 00 00 00 00 00 00 00 FF FF FF FF");
    cases.push_back(
        {"AddToDataDefinition",
         [](auto* h) { return SimConnect_AddToDataDefinition(h, 402, "Plane Latitude", "degree", 4); },
         define});

    Bytes map = image(276, "14 01 00 00 23 00 00 00 04 00 00 F0 04 00 00 00");
    putHex(map, 16, "DC 00 00 00");
    putText(map, 20, "GEAR_SET");
    cases.push_back({"MapClientEventToSimEvent",
                     [](auto* h) { return SimConnect_MapClientEventToSimEvent(h, 220, "GEAR_SET"); }, map});

    Bytes group = image(28, "1C 00 00 00 23 00 00 00 07 00 00 F0 05 00 00 00");
    putHex(group, 16, "2D 01 00 00 D0 00 00 00 01 00 00 00");
    cases.push_back({"AddClientEventToNotificationGroup",
                     [](auto* h) { return SimConnect_AddClientEventToNotificationGroup(h, 301, 208, true); },
                     group});

    Bytes priority = image(24, "18 00 00 00 23 00 00 00 09 00 00 F0 06 00 00 00");
    putHex(priority, 16, "2D 01 00 00 01 00 00 00");
    cases.push_back({"SetNotificationGroupPriority",
                     [](auto* h) { return SimConnect_SetNotificationGroupPriority(h, 301, 1); }, priority});

    Bytes request = image(48, "30 00 00 00 23 00 00 00 0E 00 00 F0 07 00 00 00");
    putHex(request, 16, "6C 00 00 00 99 01 00 00 00 00 00 00 04 00 00 00");
    cases.push_back({"RequestDataOnSimObject",
                     [](auto* h) { return SimConnect_RequestDataOnSimObject(h, 108, 409, 0, 4); }, request});

    Bytes byType = image(32, "20 00 00 00 23 00 00 00 0F 00 00 F0 08 00 00 00");
    putHex(byType, 16, "65 00 00 00 94 01 00 00 10 27 00 00 02 00 00 00");
    cases.push_back({"RequestDataOnSimObjectType",
                     [](auto* h) { return SimConnect_RequestDataOnSimObjectType(h, 101, 404, 10000, 2); },
                     byType});

    Bytes setData = image(100, "64 00 00 00 23 00 00 00 10 00 00 F0 09 00 00 00");
    putHex(setData, 16, "92 01 00 00 64 00 00 00 00 00 00 00 01 00 00 00 40 00 00 00");
    std::copy(block64.begin(), block64.end(), setData.begin() + 36);
    cases.push_back(
        {"SetDataOnSimObject with count 0",
         [&block64](auto* h) { return SimConnect_SetDataOnSimObject(h, 402, 100, 0, 0, 64, block64.data()); },
         setData});

    Bytes transmit = image(36, "24 00 00 00 23 00 00 00 05 00 00 F0 0A 00 00 00");
    putHex(transmit, 16, "64 00 00 00 DA 00 00 00 FF 3F 00 00 2D 01 00 00 00 00 00 00");
    cases.push_back({"TransmitClientEvent",
                     [](auto* h) { return SimConnect_TransmitClientEvent(h, 100, 218, 16383, 301, 0); },
                     transmit});

    Bytes create = image(344, "58 01 00 00 23 00 00 00 29 00 00 F0 0B 00 00 00");
    putText(create, 16, "Airbus A320 Lufthansa");
    putText(create, 272, "D-AIPX");
    putHex(create, 284, "00 00 00 00 00 00 49 40  00 00 00 00 00 00 21 40  00 00 00 00 00 C0 76 40");
    putHex(create, 308, "00 00 00 00 00 00 00 00  00 00 00 00 00 00 00 00  00 00 00 00 00 40 6F 40");
    putHex(create, 332, "01 00 00 00 00 00 00 00 68 00 00 00");
    cases.push_back({"AICreateNonATCAircraft",
                     [&positionBlock](auto* h) {
                         return SimConnect_AICreateNonATCAircraft(h, "Airbus A320 Lufthansa", "D-AIPX",
                                                                  positionBlock.data(), 104);
                     },
                     create});

    Bytes release = image(24, "18 00 00 00 23 00 00 00 2B 00 00 F0 0C 00 00 00");
    putHex(release, 16, "88 13 00 00 67 00 00 00");
    cases.push_back(
        {"AIReleaseControl", [](auto* h) { return SimConnect_AIReleaseControl(h, 5000, 103); }, release});

    Bytes remove = image(24, "18 00 00 00 23 00 00 00 2C 00 00 F0 0D 00 00 00");
    putHex(remove, 16, "88 13 00 00 69 00 00 00");
    cases.push_back(
        {"AIRemoveObject", [](auto* h) { return SimConnect_AIRemoveObject(h, 5000, 105); }, remove});

    Bytes plan = image(284, "1C 01 00 00 23 00 00 00 2D 00 00 F0 0E 00 00 00");
    putHex(plan, 16, "88 13 00 00");
    putText(plan, 20, "/home/pilot/orig_dest/EDDF_KJFK.pln");
    putHex(plan, 280, "6E 00 00 00");
    cases.push_back({"AISetAircraftFlightPlan",
                     [](auto* h) {
                         return SimConnect_AISetAircraftFlightPlan(
                             h, 5000, "/home/pilot/orig_dest/EDDF_KJFK.pln", 110);
                     },
                     plan});
    return cases;
}

TEST_F(SimConnectPackets, EveryPacketGoesOutWithItsExactBytes) {
    Bytes open = image(296, "28 01 00 00 23 00 00 00 01 00 00 F0 01 00 00 00");
    putText(open, 16, "Corvane_P3D");
    putHex(open, 276, "00 44 33 50 05 00 00 00 03 00 00 00 00 00 00 00 00 00 00 00");
    EXPECT_EQ(hexOf(peer_->received().at(0)), hexOf(open)) << "Open";

    Bytes block64(64);
    for (std::size_t i = 0; i < block64.size(); ++i) {
        block64[i] = static_cast<std::uint8_t>(0xA0 + i);
    }
    const Bytes positionBlock = initPositionBlock();
    for (const auto& c : goldenCases(positionBlock, block64)) {
        SCOPED_TRACE(c.name);
        ASSERT_EQ(c.call(handle_), S_OK);
        Bytes got = nextMessage();
        EXPECT_EQ(got.size(), c.expected.size());
        EXPECT_EQ(hexOf(got), hexOf(c.expected));
    }
}

TEST_F(SimConnectPackets, SendIdsCountUpAndSkipZero) {
    std::uint32_t last = 0;
    ASSERT_EQ(SimConnect_GetLastSentPacketID(handle_, &last), S_OK);
    EXPECT_EQ(last, 1u) << "the Open packet";

    struct Step {
        std::string name;
        std::uint32_t counterBefore; // 0: leave the counter as it is
        std::string expectedId;      // hex at +12
        std::uint32_t expectedLast;
    };
    const std::vector<Step> steps = {
        {"first packet after Open", 0, "02 00 00 00", 2},
        {"second packet after Open", 0, "03 00 00 00", 3},
        {"last id before the wrap", 0xFFFFFFFEu, "FF FF FF FF", 0xFFFFFFFFu},
        {"the wrap skips 0", 0, "01 00 00 00", 1},
        {"and goes on", 0, "02 00 00 00", 2},
    };
    for (const auto& step : steps) {
        SCOPED_TRACE(step.name);
        if (step.counterBefore != 0) {
            PacketAreaLock lock;
            handle_->sendIdCounter = step.counterBefore;
        }
        ASSERT_EQ(SimConnect_SetNotificationGroupPriority(handle_, 301, 1), S_OK);
        ASSERT_EQ(SimConnect_GetLastSentPacketID(handle_, &last), S_OK);
        EXPECT_EQ(last, step.expectedLast);
        Bytes got = nextMessage();
        ASSERT_EQ(got.size(), 24u);
        EXPECT_EQ(hexOf(Bytes(got.begin() + 12, got.begin() + 16)), hexOf(hexBytes(step.expectedId)));
    }
}

TEST_F(SimConnectPackets, BadArgumentsSendNothing) {
    const Bytes block = initPositionBlock();
    struct Case {
        std::string name;
        std::function<std::int32_t()> call;
        std::int32_t expected;
        bool usesSendId; // a refused text still uses the id it reserved
    };
    const std::string name256(256, 'N');
    const std::vector<Case> cases = {
        {"datum name of 256 bytes",
         [&] { return SimConnect_AddToDataDefinition(handle_, 402, name256.c_str(), "degree", 4); },
         static_cast<std::int32_t>(0x8007007Au), true},
        {"units name of 256 bytes",
         [&] { return SimConnect_AddToDataDefinition(handle_, 402, "Plane Latitude", name256.c_str(), 4); },
         static_cast<std::int32_t>(0x8007007Au), true},
        {"tail number of 12 characters",
         [&] { return SimConnect_AICreateNonATCAircraft(handle_, "T", "ABCDEFGHIJKL", block.data(), 104); },
         static_cast<std::int32_t>(0x8007007Au), true},
        {"event name of 256 bytes",
         [&] { return SimConnect_SubscribeToSystemEvent(handle_, 201, name256.c_str()); },
         static_cast<std::int32_t>(0x8007007Au), true},
        {"flight-plan path of 260 bytes",
         [&] { return SimConnect_AISetAircraftFlightPlan(handle_, 1, std::string(260, 'p').c_str(), 110); },
         static_cast<std::int32_t>(0x8007007Au), true},
        {"SetData of 0x10000 x 0x10000",
         [&] { return SimConnect_SetDataOnSimObject(handle_, 401, 100, 0, 0x10000, 0x10000, block.data()); },
         static_cast<std::int32_t>(0x80004005u), false},
        {"SetData just over the packet area",
         [&] {
             std::vector<std::uint8_t> big(41053);
             return SimConnect_SetDataOnSimObject(handle_, 401, 100, 0, 1, 41053, big.data());
         },
         static_cast<std::int32_t>(0x80004005u), false},
        {"SetData without data",
         [&] { return SimConnect_SetDataOnSimObject(handle_, 401, 100, 0, 1, 24, nullptr); },
         static_cast<std::int32_t>(0x80004005u), false},
        {"create without an initial position",
         [&] { return SimConnect_AICreateNonATCAircraft(handle_, "T", "D-AIPX", nullptr, 104); },
         static_cast<std::int32_t>(0x80004005u), false},
        {"null handle", [&] { return SimConnect_AIRemoveObject(nullptr, 1, 105); },
         static_cast<std::int32_t>(0x80004005u), false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::uint32_t before = 0;
        ASSERT_EQ(SimConnect_GetLastSentPacketID(handle_, &before), S_OK);
        EXPECT_EQ(c.call(), c.expected);
        std::uint32_t refused = 0;
        ASSERT_EQ(SimConnect_GetLastSentPacketID(handle_, &refused), S_OK);
        EXPECT_EQ(refused, c.usesSendId ? before + 1 : before);
        // The next packet is the very next thing on the wire, whole, with the next id.
        ASSERT_EQ(SimConnect_AIReleaseControl(handle_, 77, 103), S_OK);
        Bytes expected = image(24, "18 00 00 00 23 00 00 00 2B 00 00 F0");
        putHex(expected, 12, "00 00 00 00 4D 00 00 00 67 00 00 00");
        expected[12] = static_cast<std::uint8_t>(refused + 1);
        expected[13] = static_cast<std::uint8_t>((refused + 1) >> 8);
        EXPECT_EQ(hexOf(nextMessage()), hexOf(expected));
    }
}

TEST_F(SimConnectPackets, TextsUpToTheirWidthFit) {
    const Bytes block = initPositionBlock();
    const std::string name255(255, 'D');
    ASSERT_EQ(SimConnect_AddToDataDefinition(handle_, 402, name255.c_str(), "degree", 4), S_OK);
    Bytes define = nextMessage();
    ASSERT_EQ(define.size(), 544u);
    EXPECT_EQ(define[274], 'D');
    EXPECT_EQ(define[275], 0) << "the terminator closes the 256-byte field";
    EXPECT_EQ(define[276], 'd') << "the units follow at once";

    ASSERT_EQ(SimConnect_AICreateNonATCAircraft(handle_, "T", "ABCDEFGHIJK", block.data(), 104), S_OK);
    Bytes create = nextMessage();
    ASSERT_EQ(create.size(), 344u);
    EXPECT_EQ(std::string(create.begin() + 272, create.begin() + 283), "ABCDEFGHIJK");
    EXPECT_EQ(create[283], 0);

    // UTF-8 titles go out as their bytes.
    ASSERT_EQ(SimConnect_AICreateNonATCAircraft(handle_, "Airbus A320 \xC3\x96sterreich", nullptr,
                                                block.data(), 104),
              S_OK);
    create = nextMessage();
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(create.data() + 16)),
              "Airbus A320 \xC3\x96sterreich");
    EXPECT_EQ(create[272], 0) << "a null tail number is an empty field";
}

TEST(SimConnectOpen, RefusedNamesAndArguments) {
    SimConnectTestEnv env;
    auto peer = RawPeer::listenUnix(env.defaultPipePath());
    ASSERT_TRUE(peer);
    struct Case {
        std::string name;
        const char* appName;
        bool withHandle;
        std::int32_t expected;
    };
    const std::string name256(256, 'C');
    const std::vector<Case> cases = {
        {"name of 256 bytes", name256.c_str(), true, static_cast<std::int32_t>(0x8007007Au)},
        {"null name", nullptr, true, static_cast<std::int32_t>(0x80070057u)},
        {"null handle pointer", "Corvane_P3D", false, static_cast<std::int32_t>(0x80070057u)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        SimConnectClient* handle = reinterpret_cast<SimConnectClient*>(&env);
        EXPECT_EQ(SimConnect_Open(c.withHandle ? &handle : nullptr, c.appName, nullptr, 0, nullptr, 0),
                  c.expected);
        if (c.withHandle && c.appName != nullptr) {
            EXPECT_EQ(handle, nullptr);
        }
    }
    EXPECT_EQ(peer->messageCount(), 0u);
    EXPECT_EQ(lf_clientCount(), 0);
}

} // namespace
} // namespace zeph::test
