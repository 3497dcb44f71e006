#include "airports/airport_file_format.h"

#include <gtest/gtest.h>

#include "core/errors.h"
#include "settings/parameter_table.h"
#include "settings/xml_parameters.h"
#include "support/aircraft_fixture.h"
#include "support/airport_data.h"
#include "support/log_fixture.h"

namespace zeph {
namespace {

ParkPos stand(const char* id, double radiusMetres = 20.0) {
    return ParkPos(id, {}, GeoPoint{52.3, 4.75}, kTwoPi / 4.0, radiusMetres, false, false, false);
}

StandUse use(const char* reg, const char* callsign, const char* callsign2, HalfHourSet slots) {
    return StandUse{"KLM", "B738", reg, callsign, callsign2, slots, 1, 3, 0, 1, 0};
}

class AirportFile : public test::LogFixture {
protected:
    void TearDown() override {
        apfHandmade.store(false);
        lf_clearParkPositions();
        LogFixture::TearDown();
    }
    // The written file from `from` on.
    std::string written(const ApfData& airport, int mode, const char* from) {
        const std::filesystem::path file = dir() / "airports" / "learned" / "EHAM.xml";
        EXPECT_TRUE(gf_writeApf(airport, file, mode, 3));
        const std::string text = test::readFileBytes(file);
        return text.substr(std::min(text.find(from), text.size()));
    }
};

TEST_F(AirportFile, GeneratedAndLearnedFiles) {
    const test::TestAircraft fleet;
    ApfData airport{
        "EHAM", "Schiphol", "x.bgl", "", 0, 7, 2, -11, {stand("g12"), stand("A5"), stand("H1", 10.0)}};
    airport.stands[0].cargo = airport.stands[0].ramp = airport.stands[2].heli = true;
    const std::string geometry = R"( latitude="52.300000" longitude="4.750000" heading="90.0" radius=)";
    EXPECT_EQ(
        written(airport, 1, "  <parameters>"),
        "  <parameters>\n    <parameter name=\"airport_name\" value=\"Schiphol\" />\n"
        "    <parameter name=\"publisher\" value=\"\" />\n    <parameter name=\"altitude\" value=\"-11\" />\n"
        "    <parameter name=\"num_parkpos\" value=\"3\" />\n    <parameter name=\"BGLpath\" value=\"x.bgl\" "
        "/>\n"
        "  </parameters>\n  <parkpositions>\n"
        "    <parkpos id=\"g12\"" +
            geometry +
            "\"20.0\" cargo=\"true\" ramp=\"true\" />\n"
            "    <parkpos id=\"A5\"" +
            geometry +
            "\"20.0\" cargo=\"false\" ramp=\"false\" />\n"
            "    <parkpos id=\"H1\"" +
            geometry +
            "\"10.0\" heli=\"true\" ramp=\"false\" />\n"
            "  </parkpositions>\n</root>\n");
    airport.publisher = "Pub";
    airport.stands[1].radiusChanged = true;
    airport.stands[2].uses = {use("PH-BXA", "", "", 0b110), use("D-X", "KLM12", "KLM34", 1),
                              use("D-Y", "KLM9", "", 0)};
    airport.stands[2].uses[1].real = 0;
    airport.stands[2].uses[1].coupled = 1;
    MAX_FIT_FL.setValue(8.0F);
    EXPECT_EQ(written(airport, 0, "  <parkpositions>"),
              "  <parkpositions>\n    <parkpos id=\"g12\" />\n"
              "    <parkpos id=\"A5\" radius_change=\"true\" radius=\"20.0\" />\n    <parkpos id=\"H1\">\n"
              "      <opt reg=\"PH-BXA\" day=\"3\" hh=\"1:2\" />\n"
              "      <opt reg=\"D-X\" airl=\"KLM\" type=\"B738\" soft=\"true\" day=\"3\" hh=\"0\" "
              "cs=\"KLM12:KLM34\" "
              "cpl=\"true\" />\n    </parkpos>\n  </parkpositions>\n</root>\n");
    EXPECT_TRUE(logHas("==> bit set problem: D-Y KLM9 KLM B738"));
    pugi::xml_document learned;
    ASSERT_TRUE(learned.load_file((dir() / "airports" / "learned" / "EHAM.xml").c_str()));
    EXPECT_EQ(gf_getIntParameter(learned, "MAX_FIT"), 15);
    EXPECT_EQ(learned.child("root").child("parameters").select_nodes("parameter").size(), 10U)
        << "eight settings";
    apfHandmade.store(true);
    EXPECT_NE(written(airport, 0, "<parameters>").find(R"(handmade" value="true" />
    <parameter name="altitude" value="-11" />
    <parameter name="Qf_real" value="7" />
    <parameter name="Qf_soft" value="2" />)"),
              std::string::npos);
    EXPECT_NE(written(airport, 0, "<parkpositions>").find("<parkpos id=\"A5\"" + geometry),
              std::string::npos);
    test::writeFileBytes(dir() / "regular", "x");
    EXPECT_FALSE(gf_writeApf(airport, dir() / "regular" / "EHAM.xml", 1, 3));
}

TEST_F(AirportFile, ParkFileStands) {
    const std::string at = R"(latitude="1" longitude="2")";
    const std::pair<test::ParkFileBuilder, std::string> cases[] = {
        {test::ParkFileBuilder()
             .stand(R"(id="Z" latitude="0.0" longitude="0.0")")
             .stand(R"(id="K" latitude="0.0" longitude="0.000001")"),
         "no error K "},
        {test::ParkFileBuilder().stand("id=\"G1\" " + at).stand("id=\" G1 \" " + at),
         "94: Parking position 'G1' appears more than once. G1 "},
        {test::ParkFileBuilder().stand("id=\"G1\" " + at).stand(at),
         "93: Parking position #2 has no 'id' attribute. G1 "},
        {test::ParkFileBuilder().stand("id=\"G1\" " + at).stand("id=\" \t\" " + at),
         "93: Parking position #2 has empty 'id' attribute. G1 "},
        {test::ParkFileBuilder()
             .stand(R"(id="N" latitude="nan" longitude="2")")
             .stand(R"(id="R" radius="inf" )" + at)
             .stand(R"(id="F" latitude="91" longitude="2")"),
         "no error "},
    };
    for (const auto& [file, expected] : cases) {
        lf_clearParkPositions();
        pugi::xml_document doc;
        file.load(doc);
        std::string outcome = "no error";
        try {
            lf_readParkPositions(doc);
        } catch (const UserErrorException& e) {
            outcome = e.what();
        }
        for (const ParkPos& p : standList) {
            outcome += " " + p.id;
        }
        EXPECT_EQ(outcome + " ", expected);
    }
    EXPECT_TRUE(logHas("==> Parking position 'N' has invalid coordinates, skipped"));
}

TEST_F(AirportFile, UsesReadFromParkAndLearnedFiles) {
    const test::TestAircraft fleet;
    ApfData airport{"EHAM", "", "", "", 0, 0, 0, 0, {stand("A1")}};
    airport.stands[0].latitude = 52.1234567;
    pugi::xml_document doc;
    ASSERT_TRUE(doc.load_string(written(airport, 1, "<").c_str()));
    lf_readParkPositions(doc);
    ASSERT_EQ(standList.size(), 1U);
    EXPECT_NEAR(standList[0].radius * kMetresPerNm, 20.0, 1e-9);
    EXPECT_EQ(standList[0].latitude, 52.123457);
    lf_clearParkPositions();
    test::ParkFileBuilder()
        .stand(
            R"(id="A1" latitude="52.3" longitude="4.75" radius="20")",
            R"(<opt reg="D-X" day="0" hh="1"/><opt reg="D-X" day="8" hh="1"/><opt reg="D-X" day="2" hh=""/>)"
            R"(<opt reg="PH-BXA" airl="X" day="2" hh="3" cs="KLM12:KLM34:X"/>)")
        .load(doc);
    lf_readParkPositions(doc);
    ParkPos& a1 = standList.at(0);
    ASSERT_EQ(a1.uses.size(), 1U);
    EXPECT_EQ(a1.uses[0].callsign + "|" + a1.uses[0].callsign2 + "|" + a1.uses[0].airline,
              "KLM12|KLM34:X|TRA");
    airport.stands[0].uses = {use("D-X", "KLM12", "", 0b1100)};
    ASSERT_TRUE(doc.load_string(written(airport, 0, "<").c_str()));
    pugi::xml_node parkpos = doc.child("root").child("parkpositions").child("parkpos");
    parkpos.append_attribute("radius_change") = "true";
    parkpos.append_attribute("radius") = "nan";
    for (const char* day : {"3", "0", "9", "-1"}) {
        parkpos.append_copy(parkpos.child("opt")).attribute("day") = day;
    }
    bool dropUses = false;
    EXPECT_FALSE(lf_readLearnedStand({"B1", parkpos, &dropUses}, a1));
    EXPECT_TRUE(lf_readLearnedStand({"A1", parkpos, &dropUses}, a1));
    ASSERT_EQ(a1.uses.size(), 2U) << "the repeated opt once";
    EXPECT_EQ(a1.uses[1].id, 2U);
    EXPECT_NEAR(a1.radius * kMetresPerNm, 20.0, 1e-9) << "a NaN radius is ignored";
    for (const char* day : {"0", "9", "-1"}) {
        EXPECT_TRUE(logHas(fmt::format("==> learned opt of stand A1 has bad day {}, skipped", day))) << day;
    }
    EXPECT_TRUE(logHas("==> Parking position 'A1' has invalid coordinates, skipped"));
}

// A learned use is dropped when it shares day, real flag, registration, airline and type with a use the
// stand holds and has a half hour in common with it; the rest are added in file order with the next ids.
TEST_F(AirportFile, LearnedUsesRepeatingAHeldOneAreDropped) {
    struct Case {
        const char* name;
        const char* opts; // read into a stand that holds R0 on day 3 at half hour 3
        const char* kept;
    };
    const std::vector<Case> cases = {
        {"repeats a use held before the read, not the last of its key",
         R"(<opt reg="R0" day="3" hh="5"/><opt reg="R0" day="3" hh="3,9"/>)", "1 R0 3, 2 R0 5, "},
        {"a dropped use's hours count for no later one",
         R"(<opt reg="R0" day="3" hh="3,7"/><opt reg="R0" day="3" hh="7"/>)", "1 R0 3, 2 R0 7, "},
        {"one field apart is another use",
         R"(<opt reg="R0" day="4" hh="3"/><opt reg="R0" day="3" hh="3" soft="true"/>)"
         R"(<opt reg="R1" day="3" hh="3"/><opt reg="R0" airl="A" day="3" hh="3"/>)"
         R"(<opt reg="R0" airl="B" day="3" hh="3"/><opt reg="R0" type="T" day="3" hh="3"/>)"
         R"(<opt reg="R" airl="0" day="3" hh="3"/>)",
         "1 R0 3, 2 R0 3, 3 R0 3, 4 R1 3, 5 R0 3, 6 R0 3, 7 R0 3, 8 R 3, "},
    };
    for (const Case& row : cases) {
        pugi::xml_document doc;
        doc.load_string((std::string("<parkpos>") + row.opts + "</parkpos>").c_str());
        ParkPos a1 = stand("A1");
        a1.uses = {StandUse{"", "", "R0", "", "", HalfHourSet(1U << 3), 1, 3, 0, 1, 0}};
        bool dropUses = false;
        EXPECT_TRUE(lf_readLearnedStand({"A1", doc.child("parkpos"), &dropUses}, a1)) << row.name;
        std::string kept;
        for (const StandUse& u : a1.uses) {
            kept += fmt::format("{} {} {}, ", u.id, u.reg, gf_bitset2hours(u.slots).value_or(""));
        }
        EXPECT_EQ(kept, row.kept) << row.name;
    }
}

} // namespace
} // namespace zeph
