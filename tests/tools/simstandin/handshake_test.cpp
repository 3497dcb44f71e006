// The open handshake over every transport, and the Opens that are refused.
#include <gtest/gtest.h>

#include <functional>
#include <iostream>
#include <variant>

#include "tools/simstandin/standin_fixture.h"

namespace zeph::test {
namespace {

using standin::OpenPacket;

TEST_F(StandinTest, OpenIsAnsweredOverEveryTransport) {
    bool ipv6 = true;
    try {
        standin::StandinOptions options;
        options.tcp6 = "[::1]:0";
        restart(options);
    } catch (const std::exception& e) {
        ipv6 = false; // no IPv6 loopback here: that transport is skipped, the others still run
        std::cout << "[  SKIPPED ] tcp [::1]: " << e.what() << "\n";
        restart({});
    }
    struct Case {
        const char* name;
        std::function<RawClient()> connect;
    };
    const std::vector<Case> cases = {
        {"tcp 127.0.0.1", [&] { return RawClient::tcp4(*standin().tcp4Port()); }},
        {"tcp [::1]", [&] { return RawClient::tcp6(*standin().tcp6Port()); }},
        {"AF_UNIX", [&] { return RawClient::unixSocket(*standin().unixPath()); }},
    };
    std::size_t opened = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        if (!ipv6 && std::string(c.name) == "tcp [::1]") {
            continue;
        }
        ++opened;
        RawClient client = c.connect();
        ASSERT_TRUE(client.connected());
        const std::string open = sc::open(client.nextSendId());
        // The Open as the program writes it: protocol 35, send id 1, alias 00 44 33 50, version 5.3.0.0.
        ASSERT_EQ(sc::toHex(open.substr(0, 16)), "28 01 00 00 23 00 00 00 01 00 00 f0 01 00 00 00");
        ASSERT_EQ(sc::toHex(open.substr(272, 24)),
                  "00 00 00 00 00 44 33 50 05 00 00 00 03 00 00 00 00 00 00 00 00 00 00 00");
        send(client, open);
        const std::optional<std::string> reply = client.readMessage();
        ASSERT_TRUE(reply.has_value());
        ASSERT_EQ(reply->size(), 308U);
        EXPECT_EQ(sc::toHex(reply->substr(0, 12)), "34 01 00 00 23 00 00 00 02 00 00 00");
        EXPECT_EQ(sc::textAt(*reply, 12, 256), "Lockheed Martin\xAE Prepar3D\xAE v5");
        EXPECT_EQ(sc::toHex(reply->substr(268, 16)), "05 00 00 00 03 00 00 00 0c 00 00 00 a8 6f 00 00");
        EXPECT_EQ(sc::u32At(*reply, 300), 0U);
        EXPECT_EQ(sc::u32At(*reply, 304), 0U);
    }
    waitHandled();
    const standin::PacketLog log = standin().packets();
    ASSERT_EQ(log.packets.size(), opened);
    for (const standin::PacketRecord& record : log.packets) {
        const auto* open = std::get_if<OpenPacket>(&record.fields);
        ASSERT_NE(open, nullptr);
        EXPECT_EQ(open->appName, "Corvane_P3D");
        EXPECT_EQ(open->alias, 0x50334400U);
        EXPECT_EQ(open->version, (std::array<std::uint32_t, 4>{5, 3, 0, 0}));
        EXPECT_EQ(record.size, 296U);
        EXPECT_EQ(record.version, 35U);
        EXPECT_EQ(record.sendId, 1U);
    }
    EXPECT_TRUE(standin().violations().empty());
}

TEST_F(StandinTest, RefusedOpensGetTheirException) {
    struct Case {
        const char* name;
        bool legacy;
        std::string packet;
        std::uint32_t exceptionCode; // 0: the 308-byte reply
    };
    const std::vector<Case> cases = {
        {"protocol 34", false, sc::open(1, 34), 5},
        {"protocol 4 without legacy", false, sc::open(1, 4, "x", 0x46535800, {10, 0, 61259, 0}), 5},
        {"alias of another simulator", false, sc::open(1, 0x23, "x", 0x46535800, {10, 0, 61259, 0}), 5},
        {"version fields 5.2", false, sc::open(1, 0x23, "x", 0x50334400, {5, 2, 0, 0}), 5},
        {"legacy: protocol 4 with \\0XSF", true, sc::open(1, 4, "x", 0x46535800, {10, 0, 61259, 0}), 0},
        {"legacy: protocol 5 with \\0HK\\0", true, sc::open(1, 5, "x", 0x004B4800, {11, 0, 62651, 3}), 0},
        {"legacy: protocol 7", true, sc::open(1, 7, "x", 0x46535800, {10, 0, 61259, 0}), 5},
        {"first packet is not Open", false, sc::subscribe(1, 201, "Sim"), 4},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        standin::StandinOptions options;
        options.legacy = c.legacy;
        restart(options);
        RawClient client = connectTcp4();
        send(client, c.packet);
        if (c.exceptionCode == 0) {
            const std::string reply = expectMessage(client, 2);
            EXPECT_EQ(reply.size(), 308U);
            EXPECT_EQ(sc::u32At(reply, 4), sc::u32At(c.packet, 4))
                << "replies carry the connection's version";
            continue;
        }
        expectException(client, c.exceptionCode, 1, 0);
        EXPECT_TRUE(client.quietFor(std::chrono::milliseconds(100))) << "no reply after the exception";
        const std::vector<standin::ConnectionInfo> connections = standin().connections();
        ASSERT_EQ(connections.size(), 1U);
        EXPECT_FALSE(connections[0].opened);
    }
}

TEST_F(StandinTest, PacketsBehindTheOpenAreAnsweredInOrder) {
    RawClient client = connectTcp4();
    // Open and a subscription in one write: the subscription is accepted and its event follows the reply.
    send(client, sc::open(1) + sc::subscribe(2, 201, "Sim"));
    expectMessage(client, 2);
    const std::string sim = expectMessage(client, 4);
    EXPECT_EQ(sc::u32At(sim, 16), 201U);
    EXPECT_EQ(sc::u32At(sim, 20), 1U);
}

} // namespace
} // namespace zeph::test
