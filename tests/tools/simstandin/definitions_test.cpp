// Data definitions: the program's 33 datums, names in any case, and the datums that are refused.
#include <gtest/gtest.h>

#include "tools/simstandin/standin_fixture.h"

namespace zeph::test {
namespace {

TEST_F(StandinTest, TheProgramsSetUpIsAcceptedWithoutAnException) {
    RawClient client = setUpClient();
    // A request for each definition answers with data, which only a complete definition can give.
    struct Case {
        std::uint32_t define;
        std::uint32_t expectedSize;
        std::uint32_t datums;
    };
    const std::vector<Case> cases = {{401, 40 + 24, 3}, {402, 40 + 64, 8}, {403, 40 + 96, 12},
                                     {404, 40 + 56, 4}, {405, 40 + 16, 2}, {406, 40 + 8, 1},
                                     {408, 40 + 32, 1}, {409, 40 + 8, 1}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.define);
        send(client, sc::requestData(client.nextSendId(), 1000 + c.define, c.define, 0, 1));
        const std::string reply = expectMessage(client, 8);
        EXPECT_EQ(reply.size(), c.expectedSize);
        EXPECT_EQ(sc::u32At(reply, 20), c.define);
        EXPECT_EQ(sc::u32At(reply, 36), c.datums) << "define count";
    }
    waitHandled();
    EXPECT_TRUE(standin().violations().empty());
    EXPECT_EQ(standin().packets().packets.size(), 1U + 6 + 33 + 17 + 16 + 1 + cases.size());
}

TEST_F(StandinTest, DatumsAreCheckedByNameUnitAndType) {
    struct Case {
        const char* name;
        const char* datum;
        const char* units;
        std::uint32_t type;
        std::uint32_t exceptionCode; // 0: accepted
        std::uint32_t index;
    };
    const std::vector<Case> cases = {
        {"name in lower case", "plane latitude", "degree", 4, 0, 0},
        {"name in mixed case", "pLaNe LoNgItUdE", "DEGREES", 4, 0, 0},
        {"angle in radians", "Plane Latitude", "radians", 4, 0, 0},
        {"unknown name", "PLANE LATITUDEX", "degree", 4, 7, 2},
        {"unknown unit", "Plane Latitude", "furlongs", 4, 7, 3},
        {"unit of the wrong kind", "Plane Altitude", "knots", 4, 7, 3},
        {"text without units", "ATC ID", "", 6, 0, 0},
        {"text declared as a number", "TITLE", "", 4, 18, 4},
        {"number declared as a text", "Plane Altitude", "feet", 11, 18, 4},
        {"type outside the table", "Plane Altitude", "feet", 5, 18, 4},
        {"type 0", "Plane Altitude", "feet", 0, 18, 4},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        restart({});
        RawClient client = openClient();
        send(client, sc::addDatum(2, 500, c.datum, c.units, c.type));
        if (c.exceptionCode != 0) {
            expectException(client, c.exceptionCode, 2, c.index);
            continue;
        }
        // Accepted: the definition answers a request with one datum.
        send(client, sc::requestData(3, 1, 500, 0, 1));
        const std::string reply = expectMessage(client, 8);
        EXPECT_EQ(sc::u32At(reply, 36), 1U);
    }
}

} // namespace
} // namespace zeph::test
