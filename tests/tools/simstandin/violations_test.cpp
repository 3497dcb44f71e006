// Broken packets from a client: each is recorded, answered where a server would answer, and the rest of
// the connection and every other connection go on.
#include <gtest/gtest.h>

#include <algorithm>

#include "tools/simstandin/standin_fixture.h"

namespace zeph::test {
namespace {

bool hasViolation(const std::vector<standin::Violation>& violations, std::uint32_t sendId,
                  const std::string& part) {
    return std::any_of(violations.begin(), violations.end(), [&](const standin::Violation& v) {
        return v.sendId == sendId && v.text.find(part) != std::string::npos;
    });
}

std::string withSize(std::string packet, std::uint32_t size) {
    packet.resize(size, '\0');
    sc::put32(packet, 0, size);
    return packet;
}

TEST_F(StandinTest, BrokenPacketsAreRecordedAndAnswered) {
    struct Case {
        const char* name;
        std::string packet;
        std::uint32_t exceptionCode; // 0: recorded only
        std::string violationPart;
    };
    std::string unknownId = sc::groupPriority(2, 301, 1);
    sc::put32(unknownId, 8, 0xF0000002);
    std::string noPrefix = sc::groupPriority(2, 301, 1);
    sc::put32(noPrefix, 8, 0x00000009);
    // 36 + count x unit wraps to 36 in 32 bits; in 64 bits it does not match the 36-byte packet.
    const std::string wrapping = sc::setData(2, 402, 100, 0x10000000, 0x10, "");
    std::string shortSetData = sc::packet(20, 0xF0000010, 2);
    std::string noTerminator = sc::subscribe(2, 201, "");
    sc::putText(noTerminator, 20, std::string(256, 'S'));
    const std::vector<Case> cases = {
        {"AddToDataDefinition declared as 540 bytes",
         withSize(sc::addDatum(2, 402, "Plane Latitude", "degree", 4), 540), 2, "size 540"},
        {"unknown packet id", unknownId, 3, "unknown packet id"},
        {"packet id without its prefix", noPrefix, 3, "unknown packet id"},
        {"SetData whose count and unit overflow 32 bits", wrapping, 2, "size 36"},
        {"SetData shorter than its head", shortSetData, 2, "size 20"},
        {"text field without a terminator", noTerminator, 7, "no terminator"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        restart({});
        RawClient client = openClient();
        send(client, c.packet);
        expectException(client, c.exceptionCode, 2, c.exceptionCode == 7 ? 2 : 0);
        waitHandled();
        EXPECT_TRUE(hasViolation(standin().violations(), 2, c.violationPart));
        // The connection goes on: the next packet is handled as usual.
        send(client, sc::subscribe(3, 201, "Sim"));
        EXPECT_EQ(sc::u32At(expectMessage(client, 4), 16), 201U);
    }
}

TEST_F(StandinTest, SendIdGapsAndRepeatsAreRecorded) {
    struct Case {
        const char* name;
        bool legacy;
        std::vector<std::uint32_t> sendIds;
        std::vector<std::string> expected; // parts of the violation texts, in order
    };
    const std::vector<Case> cases = {
        {"consecutive", false, {1, 2, 3}, {}},
        {"gap 1, 2, 4", false, {1, 2, 4}, {"send id gap: 4 after 2"}},
        {"repeat", false, {1, 2, 2}, {"repeated send id 2"}},
        {"first send id 0 in strict mode", false, {0, 1, 2}, {"first send id 0"}},
        {"first send id 0 with legacy", true, {0, 1, 2}, {}},
        {"wrap from 0xFFFFFFFF to 1", true, {0xFFFFFFFE, 0xFFFFFFFF, 1}, {}},
        {"wrap to 0 is a gap", true, {0xFFFFFFFF, 0}, {"send id gap: 0 after 4294967295"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        standin::StandinOptions options;
        options.legacy = c.legacy;
        restart(options);
        RawClient client = connectTcp4();
        send(client, sc::open(c.sendIds[0]));
        for (std::size_t k = 1; k < c.sendIds.size(); ++k) {
            send(client, sc::groupPriority(c.sendIds[k], 301, 1));
        }
        waitHandled();
        const std::vector<standin::Violation> violations = standin().violations();
        ASSERT_EQ(violations.size(), c.expected.size());
        for (std::size_t k = 0; k < c.expected.size(); ++k) {
            EXPECT_NE(violations[k].text.find(c.expected[k]), std::string::npos) << violations[k].text;
        }
    }
}

TEST_F(StandinTest, UnframeableSizeClosesOnlyThatConnection) {
    struct Case {
        const char* name;
        std::uint32_t size;
    };
    const std::vector<Case> cases = {
        {"50,000 bytes", 50000}, {"41,089 bytes", 41089}, {"8 bytes", 8}, {"0 bytes", 0}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        restart({});
        RawClient broken = openClient();
        RawClient healthy = openClient();
        std::string header = sc::packet(16, 0xF0000009, 2);
        sc::put32(header, 0, c.size);
        broken.send(header);
        EXPECT_TRUE(broken.readEof()) << "the broken connection is closed";
        EXPECT_TRUE(hasViolation(standin().violations(), 2, "cannot be framed"));
        send(healthy, sc::subscribe(2, 201, "Sim"));
        EXPECT_EQ(sc::u32At(expectMessage(healthy, 4), 16), 201U);
        const std::vector<standin::ConnectionInfo> connections = standin().connections();
        ASSERT_EQ(connections.size(), 2U);
        EXPECT_FALSE(connections[0].open);
        EXPECT_TRUE(connections[1].open);
    }
}

TEST_F(StandinTest, ViolationsAreNotAnsweredWhenSwitchedOff) {
    standin::StandinOptions options;
    options.answerViolations = false;
    restart(options);
    RawClient client = openClient();
    send(client, withSize(sc::addDatum(2, 402, "Plane Latitude", "degree", 4), 540));
    send(client, sc::subscribe(3, 201, "Sim"));
    // The Sim event is the next message: no exception came before it.
    EXPECT_EQ(sc::u32At(expectMessage(client, 4), 16), 201U);
    waitHandled();
    EXPECT_TRUE(hasViolation(standin().violations(), 2, "size 540"));
}

} // namespace
} // namespace zeph::test
