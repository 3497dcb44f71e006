// The stand-in's codec and variables, checked against bytes written out by hand.
#include <gtest/gtest.h>

#include <numbers>

#include "simstandin/simvars.h"
#include "simstandin/wire.h"
#include "simstandin/world.h"
#include "tools/simstandin/request_bytes.h"

namespace zeph::test {
namespace {

namespace st = zeph::standin;

TEST(StandinWire, MessagesHaveTheirLayouts) {
    struct Case {
        const char* name;
        std::string encoded;
        std::string expected;
    };
    st::ObjectDataHead head;
    head.requestId = 109;
    head.objectId = 1;
    head.defineId = 403;
    head.entry = 2;
    head.outOf = 3;
    head.defineCount = 12;
    const std::vector<Case> cases = {
        {"exception", st::encodeException(35, st::ExceptionCode::CreateObjectFailed, 77, 1),
         "18000000 23000000 01000000 16000000 4d000000 01000000"},
        {"quit", st::encodeQuit(4), "0c000000 04000000 03000000"},
        {"event", st::encodeEvent(35, 0xFFFFFFFF, 201, 1),
         "18000000 23000000 04000000 ffffffff c9000000 01000000"},
        {"add/remove", st::encodeAddRemove(35, 202, 100, 2),
         "1c000000 23000000 05000000 ffffffff ca000000 64000000 02000000"},
        {"frame", st::encodeFrame(35, 204, 30.0F, 1.0F),
         "20000000 23000000 07000000 ffffffff cc000000 00000000 0000f041 0000803f"},
        {"object data",
         st::encodeObjectData(35, st::MessageId::ObjectDataByType, head, std::string("\x01\x02", 2)),
         "2a000000 23000000 09000000 6d000000 01000000 93010000 00000000 02000000 03000000 0c000000 0102"},
        {"assigned object id", st::encodeAssignedObjectId(35, 104, 100),
         "14000000 23000000 0c000000 68000000 64000000"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(sc::toHex(c.encoded), sc::toHex(sc::fromHex(c.expected)));
    }
    const std::string file = st::encodeFileName(35, 206, "a.fxml", 0);
    ASSERT_EQ(file.size(), 288U);
    EXPECT_EQ(sc::toHex(file.substr(0, 30)),
              sc::toHex(sc::fromHex("20010000 23000000 06000000 ffffffff ce000000 00000000 612e66786d6c")));
    const std::string open = st::encodeOpenReply(35, std::string(300, 'n'), {5, 3, 12, 28584});
    ASSERT_EQ(open.size(), 308U);
    EXPECT_EQ(sc::textAt(open, 12, 256), std::string(255, 'n'))
        << "a name is cut to 255 bytes and terminated";
    EXPECT_EQ(sc::toHex(open.substr(268, 40)),
              sc::toHex(sc::fromHex("05000000 03000000 0c000000 a86f0000 05000000 03000000 0c000000 a86f0000 "
                                    "00000000 00000000")));
}

TEST(StandinWire, RequestsDecodeFromTheirOffsets) {
    sc::Init init;
    init.lat = 50.5;
    init.heading = 270.0;
    init.airspeed = 140;
    const st::DecodedPacket create =
        st::decodePacket(st::PacketKind::AiCreateNonAtc, sc::aiCreate(5, "Title", "TAIL", init, 104));
    const auto& c = std::get<st::CreateAircraftPacket>(create.fields);
    EXPECT_EQ(c.title, "Title");
    EXPECT_EQ(c.tailNumber, "TAIL");
    EXPECT_EQ(c.init.lat, 50.5);
    EXPECT_EQ(c.init.heading, 270.0);
    EXPECT_EQ(c.init.onGround, 1U);
    EXPECT_EQ(c.init.airspeed, 140U);
    EXPECT_EQ(c.requestId, 104U);

    const st::DecodedPacket datum = st::decodePacket(st::PacketKind::AddToDataDefinition,
                                                     sc::addDatum(2, 402, "Plane Altitude", "feet", 4));
    const auto& d = std::get<st::AddDatumPacket>(datum.fields);
    EXPECT_EQ(d.defineId, 402U);
    EXPECT_EQ(d.name, "Plane Altitude");
    EXPECT_EQ(d.units, "feet");
    EXPECT_EQ(d.type, 4U);
    EXPECT_EQ(d.datumId, 0xFFFFFFFFU);

    std::string tail = sc::aiCreate(5, "Title", "", init);
    sc::putText(tail, 272, "ABCDEFGHIJKL"); // 12 characters fill the field with no terminator
    const st::DecodedPacket cut = st::decodePacket(st::PacketKind::AiCreateNonAtc, tail);
    EXPECT_EQ(std::get<st::CreateAircraftPacket>(cut.fields).tailNumber, "ABCDEFGHIJKL");
    EXPECT_EQ(cut.unterminated, (std::vector<std::string>{"tail number"}));
}

TEST(StandinWire, TextFieldsAtTheirWidths) {
    struct Case {
        const char* name;
        std::string packet;
        std::string expectedText;
        bool terminated;
    };
    const std::vector<Case> cases = {
        {"datum name of 255 characters", sc::addDatum(2, 1, std::string(255, 'n'), "", 4),
         std::string(255, 'n'), true},
        {"datum name of 256 characters", sc::addDatum(2, 1, std::string(256, 'n'), "", 4),
         std::string(256, 'n'), false},
        {"tail number of 11 characters", sc::aiCreate(2, "T", "DLH4ABCDEFG", {}), "DLH4ABCDEFG", true},
        {"tail number of 12 characters", sc::aiCreate(2, "T", "DLH4ABCDEFGH", {}), "DLH4ABCDEFGH", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const auto kind = st::packetKindOf(sc::u32At(c.packet, 8));
        ASSERT_TRUE(kind.has_value());
        const st::DecodedPacket decoded = st::decodePacket(*kind, c.packet);
        const std::string text = *kind == st::PacketKind::AddToDataDefinition
                                     ? std::get<st::AddDatumPacket>(decoded.fields).name
                                     : std::get<st::CreateAircraftPacket>(decoded.fields).tailNumber;
        EXPECT_EQ(text, c.expectedText);
        EXPECT_EQ(decoded.unterminated.empty(), c.terminated);
    }
}

TEST(StandinWire, PacketIdsAndSizes) {
    struct Case {
        std::uint32_t id;
        std::uint32_t size; // 0: not a packet of the stand-in
    };
    const std::vector<Case> cases = {
        {0xF0000001, 296}, {0xF0000004, 276}, {0xF0000005, 36}, {0xF0000007, 28},  {0xF0000009, 24},
        {0xF000000C, 544}, {0xF000000E, 48},  {0xF000000F, 32}, {0xF0000010, 36},  {0xF0000017, 276},
        {0xF0000029, 344}, {0xF000002B, 24},  {0xF000002C, 24}, {0xF000002D, 284}, {0xF0000002, 0},
        {0x00000001, 0},   {0xF1000001, 0},   {0xF0010001, 0}};
    for (const Case& c : cases) {
        SCOPED_TRACE(sc::toHex(std::string(reinterpret_cast<const char*>(&c.id), 4)));
        const std::optional<st::PacketKind> kind = st::packetKindOf(c.id);
        EXPECT_EQ(kind.has_value(), c.size != 0);
        if (kind) {
            EXPECT_EQ(st::packetSizeOf(*kind), c.size);
        }
    }
}

TEST(StandinWire, ZuluPartsOfTheClock) {
    struct Case {
        const char* name;
        std::int64_t utcMs;
        std::int64_t seconds;
        std::int64_t day;
        std::int64_t year;
    };
    const std::vector<Case> cases = {
        {"the default start", 1704070800000, 3600, 1, 2024},
        {"last second of a leap year", 1735689599000, 86399, 366, 2024},
        {"1 March of a leap year", 1709251200000, 0, 61, 2024},
        {"1 March of a common year", 1677628800000, 0, 60, 2023},
        {"the epoch", 0, 0, 1, 1970},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const st::ZuluParts parts = st::zuluOf(c.utcMs);
        EXPECT_EQ(parts.secondsOfDay, c.seconds);
        EXPECT_EQ(parts.dayOfYear, c.day);
        EXPECT_EQ(parts.year, c.year);
    }
}

TEST(StandinWire, DatumsConvertUnitsAndTypes) {
    st::SimObject object;
    object.lat = 50.0;
    object.heading = std::numbers::pi / 2;
    object.alt = 1364.5;
    object.title = "Title";
    const st::VarContext context{364.0, 1704070800000};
    struct Case {
        const char* name;
        const char* var;
        st::Unit unit;
        std::uint32_t type;
        std::string expected;
    };
    auto f64 = [](double v) {
        std::string s(8, '\0');
        sc::putF64(s, 0, v);
        return s;
    };
    auto f32 = [](float v) {
        std::string s(4, '\0');
        sc::putF32(s, 0, v);
        return s;
    };
    const std::vector<Case> cases = {
        {"latitude in degrees", "PLANE LATITUDE", st::Unit::Degrees, 4, f64(50.0)},
        {"latitude in radians", "PLANE LATITUDE", st::Unit::Radians, 4, f64(50.0 * std::numbers::pi / 180.0)},
        {"heading in degrees", "PLANE HEADING DEGREES TRUE", st::Unit::Degrees, 4, f64(90.0)},
        {"altitude as f32", "PLANE ALTITUDE", st::Unit::Feet, 3, f32(1364.5F)},
        {"altitude as i32, cut toward zero", "PLANE ALTITUDE", st::Unit::Feet, 1, sc::fromHex("54050000")},
        {"height above ground", "PLANE ALT ABOVE GROUND", st::Unit::Feet, 4, f64(1000.5)},
        {"zulu time as i64", "ZULU TIME", st::Unit::Seconds, 2, sc::fromHex("100e000000000000")},
        {"title of variable length", "TITLE", st::Unit::None, 11, std::string("Title\0\0\0", 8)},
        {"title in 32", "TITLE", st::Unit::None, 6, std::string("Title") + std::string(27, '\0')},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const st::SimVar* var = st::findSimVar(c.var);
        ASSERT_NE(var, nullptr);
        std::string block;
        st::appendDatum(block, st::Datum{var, c.unit, c.type, 0}, object, context);
        EXPECT_EQ(sc::toHex(block), sc::toHex(c.expected));
    }
    std::string huge(8, '\0');
    sc::putF64(huge, 0, 1e300);
    st::SimObject target;
    bool written = false;
    // A value far outside the integer range is clamped, never undefined.
    const st::Datum mask{st::findSimVar("LIGHT STATES"), st::Unit::Mask, 4, 0};
    ASSERT_EQ(st::applyDatum(huge, 0, mask, target, written), std::optional<std::size_t>(8));
    EXPECT_TRUE(written);
    EXPECT_EQ(target.lightMask, 0xFFFFFFFFU);
}

TEST(StandinWire, GreatCircleDistanceInMetres) {
    EXPECT_NEAR(st::distanceMetres(0, 0, 0, 1), 111195.08, 0.5);
    EXPECT_NEAR(st::distanceMetres(50.0333, 8.5706, 50.0333, 8.5706), 0.0, 1e-9);
    EXPECT_NEAR(st::distanceMetres(0, 0, 0, 180), 20015114.4, 1.0);
}

} // namespace
} // namespace zeph::test
