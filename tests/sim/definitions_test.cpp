// The declarations the program makes right after a connection opens, as the strict stand-in sees them.
// This file includes both the stand-in's and the program's headers: the two codecs must stay apart.
#include <cstdint>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include <fmt/format.h>
#include <gtest/gtest.h>

#include "sim/definitions.h"
#include "sim/sim_link.h"
#include "sim/simconnect/calls.h"
#include "sim/simconnect/wire.h"
#include "simstandin/wire.h"
#include "support/sim_fixture.h"

namespace zeph {
namespace {

using test::SimFixture;

// Keeps every dispatched message whole; the context is a std::vector<std::string>.
void keepMessage(const std::uint8_t* message, std::uint32_t size, void* context) {
    static_cast<std::vector<std::string>*>(context)->emplace_back(reinterpret_cast<const char*>(message),
                                                                  size);
}

std::uint32_t messageId(const std::string& message) { return standin::readU32(message, 8); }

class DefinitionsTest : public SimFixture {
protected:
    // Dispatches into kept until the marker message (id 10) has come.
    void keepUntilMarker(std::vector<std::string>& kept) {
        injectAfterSent(test::unknownMessage(10));
        ASSERT_TRUE(
            pumpUntil([&] { return !kept.empty() && messageId(kept.back()) == 10; }, keepMessage, &kept));
    }
};

TEST_F(DefinitionsTest, DeclaresEverythingInOrderAndTheSimulatorAcceptsIt) {
    startStandin();
    openAsClientThread();
    ASSERT_TRUE(standin().waitPackets(0x09, 1, test::kLivenessBound)) << "no group priority";
    std::vector<std::string> kept;
    keepUntilMarker(kept);
    for (const std::string& message : kept) {
        EXPECT_NE(messageId(message), 1U) << "exception " << standin::readU32(message, 12);
    }
    EXPECT_TRUE(standin().violations().empty());

    const auto packets = standin().packets().packets;
    ASSERT_EQ(packets.size(), 74U);
    for (std::size_t k = 0; k < packets.size(); ++k) {
        EXPECT_EQ(packets[k].sendId, k + 1) << "packet " << k;
    }
    EXPECT_TRUE(std::holds_alternative<standin::OpenPacket>(packets[0].fields));

    // Rows of (packet range, what each packet must be), in the order they are sent.
    std::vector<std::string> seen;
    for (std::size_t k = 1; k < packets.size(); ++k) {
        const auto& fields = packets[k].fields;
        if (const auto* p = std::get_if<standin::SubscribePacket>(&fields)) {
            seen.push_back(fmt::format("subscribe {} {}", p->eventId, p->name));
        } else if (const auto* p = std::get_if<standin::AddDatumPacket>(&fields)) {
            seen.push_back(fmt::format("define {}", p->defineId));
        } else if (const auto* p = std::get_if<standin::MapEventPacket>(&fields)) {
            seen.push_back(fmt::format("map {}", p->eventId));
        } else if (const auto* p = std::get_if<standin::GroupAddPacket>(&fields)) {
            seen.push_back(fmt::format("group {} {} {}", p->groupId, p->eventId, p->maskable));
        } else if (const auto* p = std::get_if<standin::GroupPriorityPacket>(&fields)) {
            seen.push_back(fmt::format("priority {} {}", p->groupId, p->priority));
        } else {
            seen.push_back("other");
        }
    }
    std::vector<std::string> expected = {"subscribe 201 Sim",           "subscribe 202 ObjectAdded",
                                         "subscribe 203 ObjectRemoved", "subscribe 205 PositionChanged",
                                         "subscribe 206 FlightLoaded",  "subscribe 204 Frame"};
    const std::pair<int, int> datumsPerDefinition[] = {{407, 1}, {408, 1}, {409, 1}, {402, 8}, {403, 12},
                                                       {405, 2}, {406, 1}, {404, 4}, {401, 3}};
    for (const auto& [define, count] : datumsPerDefinition) {
        for (int k = 0; k < count; ++k) {
            expected.push_back(fmt::format("define {}", define));
        }
    }
    for (int event : {220, 221, 222, 223, 218, 219, 208, 207, 211, 209, 210, 213, 212, 214, 215, 216, 217}) {
        expected.push_back(fmt::format("map {}", event));
    }
    for (int event : {208, 207, 211, 209, 210, 213, 212, 214, 218, 219, 220, 222, 223, 215, 216, 217}) {
        expected.push_back(fmt::format("group 301 {} 1", event));
    }
    expected.push_back("priority 301 1");
    EXPECT_EQ(seen, expected);
}

TEST_F(DefinitionsTest, EachDefinitionHasTheBlockSizeOfItsRecord) {
    startStandin();
    standin::TrafficSpec spec;
    spec.atcId = "N1";
    const std::uint32_t traffic = standin().addTraffic(spec);
    openAsClientThread();
    struct Case {
        std::uint32_t define;
        std::optional<std::size_t> block; // read back from the user aircraft; nothing: a text of any length
        bool written;                     // written onto an aircraft instead
    };
    const Case cases[] = {
        {407, std::nullopt, false}, {408, 32, false}, {409, 8, false},  {402, 64, true}, {403, 96, false},
        {405, 16, false},           {406, 8, false},  {404, 56, false}, {401, 24, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.define);
        std::vector<std::string> kept;
        if (c.written) {
            const std::vector<std::uint8_t> block(*c.block, 0);
            ASSERT_EQ(SimConnect_SetDataOnSimObject(simClientHandle, c.define, traffic, 0, 1,
                                                    static_cast<std::uint32_t>(block.size()), block.data()),
                      S_OK);
        } else {
            ASSERT_EQ(SimConnect_RequestDataOnSimObject(simClientHandle, 900, c.define, 0, 1), S_OK);
        }
        keepUntilMarker(kept);
        std::vector<std::size_t> replies;
        for (const std::string& message : kept) {
            EXPECT_NE(messageId(message), 1U) << "exception " << standin::readU32(message, 12);
            if (messageId(message) == 8) {
                replies.push_back(message.size() - scwire::objectDataMsg::kData);
            }
        }
        if (c.written) {
            EXPECT_TRUE(replies.empty());
        } else {
            ASSERT_EQ(replies.size(), 1U);
            if (c.block) {
                EXPECT_EQ(replies[0], *c.block);
            }
        }
    }
}

} // namespace
} // namespace zeph
