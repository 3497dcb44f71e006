#include "airports/airport_file_format.h"

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "core/errors.h"
#include "settings/parameter_table.h"
#include "support/aircraft_fixture.h"
#include "support/airport_data.h"
#include "support/log_fixture.h"

namespace zeph {
namespace {

namespace fs = std::filesystem;

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
    // The written file from "<parameters>" on.
    std::string written(const ApfData& airport, int mode) {
        const fs::path file = dir() / "airports" / "learned" / "EHAM.xml";
        EXPECT_TRUE(gf_writeApf(airport, file, mode, 3));
        const std::string text = test::readFileBytes(file);
        return text.substr(std::min(text.find("  <parameters>"), text.size()));
    }
    std::string readError(const test::ParkFileBuilder& file) {
        pugi::xml_document doc;
        file.load(doc);
        try {
            lf_readParkPositions(doc);
        } catch (const UserErrorException& e) {
            return e.what();
        }
        return "no error";
    }
    bool logHas(const std::string& line) const {
        const auto lines = readLog();
        return std::find(lines.begin(), lines.end(), line) != lines.end();
    }
};

TEST_F(AirportFile, GeneratedAndLearnedFiles) {
    const test::TestAircraft fleet;
    ApfData airport{"EHAM", "Schiphol", "x.bgl", "", 0, 7, 2, -11, {}};
    airport.stands = {stand("g12"), stand("A5"), stand("H1", 10.0)};
    airport.stands[0].cargo = airport.stands[0].ramp = true;
    airport.stands[2].heli = true;
    const std::string parkpos = R"( latitude="52.300000" longitude="4.750000" heading="90.0" radius=)";
    EXPECT_EQ(written(airport, 1),
              "  <parameters>\n"
              "    <parameter name=\"airport_name\" value=\"Schiphol\" />\n"
              "    <parameter name=\"publisher\" value=\"\" />\n"
              "    <parameter name=\"altitude\" value=\"-11\" />\n"
              "    <parameter name=\"num_parkpos\" value=\"3\" />\n"
              "    <parameter name=\"BGLpath\" value=\"x.bgl\" />\n"
              "  </parameters>\n  <parkpositions>\n"
              "    <parkpos id=\"g12\"" + parkpos + "\"20.0\" cargo=\"true\" ramp=\"true\" />\n"
              "    <parkpos id=\"A5\"" + parkpos + "\"20.0\" cargo=\"false\" ramp=\"false\" />\n"
              "    <parkpos id=\"H1\"" + parkpos + "\"10.0\" heli=\"true\" ramp=\"false\" />\n"
              "  </parkpositions>\n</root>\n");
    airport.publisher = "Pub";
    airport.stands[1].radiusChanged = true;
    airport.stands[2].uses = {use("PH-BXA", "", "", HalfHourSet(0b110)), use("D-X", "KLM12", "KLM34", 1),
                              use("D-Y", "KLM9", "", 0)};
    airport.stands[2].uses[1].real = 0;
    airport.stands[2].uses[1].coupled = 1;
    MAX_FIT_FL.setValue(8.0F);
    EXPECT_EQ(written(airport, 0),
              "  <parameters>\n"
              "    <parameter name=\"airport_name\" value=\"Schiphol\" />\n"
              "    <parameter name=\"publisher\" value=\"Pub\" />\n" +
                  fmt::format("    <parameter name=\"RANGE\" value=\"{}\" />\n", RANGE.get()) +
                  fmt::format("    <parameter name=\"AUTO_RANGE\" value=\"{}\" />\n", AUTO_RANGE.get()) +
                  fmt::format("    <parameter name=\"WEEK\" value=\"{}\" />\n", WEEK.get()) +
                  fmt::format("    <parameter name=\"PARK_SOFT\" value=\"{}\" />\n", PARK_SOFT.get()) +
                  fmt::format("    <parameter name=\"parking_percentage\" value=\"{}\" />\n", parking_percentage.get()) +
                  fmt::format("    <parameter name=\"INITIAL_LOAD_ONLY\" value=\"{}\" />\n", INITIAL_LOAD_ONLY.get()) +
                  "    <parameter name=\"MAX_FIT\" value=\"15\" />\n" +
                  fmt::format("    <parameter name=\"MAX_LIVE_SEL\" value=\"{}\" />\n", MAX_LIVE_SEL.get()) +
                  "  </parameters>\n  <parkpositions>\n"
                  "    <parkpos id=\"g12\" />\n"
                  "    <parkpos id=\"A5\" radius_change=\"true\" radius=\"20.0\" />\n"
                  "    <parkpos id=\"H1\">\n"
                  "      <opt reg=\"PH-BXA\" day=\"3\" hh=\"1:2\" />\n"
                  "      <opt reg=\"D-X\" airl=\"KLM\" type=\"B738\" soft=\"true\" day=\"3\" hh=\"0\" cs=\"KLM12:KLM34\" "
                  "cpl=\"true\" />\n"
                  "    </parkpos>\n  </parkpositions>\n</root>\n");
    EXPECT_TRUE(logHas("==> bit set problem: D-Y KLM9 KLM B738"));
    apfHandmade.store(true);
    const std::string handmade = written(airport, 0);
    EXPECT_LT(handmade.find("\"handmade\""), handmade.find("\"altitude\""));
    EXPECT_LT(handmade.find("\"altitude\""), handmade.find("\"Qf_real\""));
    EXPECT_LT(handmade.find("\"Qf_real\""), handmade.find("\"Qf_soft\""));
    std::size_t geometries = 0;
    for (std::size_t at = handmade.find("latitude="); at != std::string::npos; at = handmade.find("latitude=", at + 1)) {
        ++geometries;
    }
    EXPECT_EQ(geometries, 3U) << "every stand of a handmade file";
    test::writeFileBytes(dir() / "regular", "x");
    EXPECT_FALSE(gf_writeApf(airport, dir() / "regular" / "EHAM.xml", 1, 3));
}

TEST_F(AirportFile, ParkFileStands) {
    struct Case {
        const char* name;
        test::ParkFileBuilder file;
        std::string error;
        std::vector<std::string> ids;
    };
    const std::string at = R"(latitude="1" longitude="2")";
    const Case cases[] = {
        {"null island", test::ParkFileBuilder().stand(R"(id="Z" latitude="0.0" longitude="0.0")")
                            .stand(R"(id="K" latitude="0.0" longitude="0.000001")"), "no error", {"K"}},
        {"repeated id", test::ParkFileBuilder().stand("id=\"G1\" " + at).stand("id=\" G1 \" " + at),
         "94: Parking position 'G1' appears more than once.", {"G1"}},
        {"no id", test::ParkFileBuilder().stand("id=\"G1\" " + at).stand(at), "93: Parking position #2 has no 'id' attribute.", {"G1"}},
        {"blank id", test::ParkFileBuilder().stand("id=\"G1\" " + at).stand("id=\"  \" " + at),
         "93: Parking position #2 has empty 'id' attribute.", {"G1"}},
        {"not finite", test::ParkFileBuilder().stand(R"(id="N" latitude="nan" longitude="2")")
                           .stand(R"(id="R" radius="inf" )" + at).stand(R"(id="F" latitude="91" longitude="2")"),
         "no error", {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        lf_clearParkPositions();
        EXPECT_EQ(readError(c.file), c.error);
        std::vector<std::string> ids;
        for (const ParkPos& p : standList) {
            ids.push_back(p.id);
        }
        EXPECT_EQ(ids, c.ids);
    }
    EXPECT_TRUE(logHas("==> Parking position 'N' has invalid coordinates, skipped"));
}

TEST_F(AirportFile, UsesReadFromParkAndLearnedFiles) {
    const test::TestAircraft fleet;
    ApfData airport{"EHAM", "", "", "", 0, 0, 0, 0, {stand("A1")}};
    airport.stands[0].latitude = 52.1234567;
    ASSERT_TRUE(gf_writeApf(airport, dir() / "b.xml", 1, 3));
    pugi::xml_document generated;
    ASSERT_TRUE(generated.load_file((dir() / "b.xml").c_str()));
    lf_readParkPositions(generated);
    ASSERT_EQ(standList.size(), 1U);
    EXPECT_NEAR(standList[0].radius * kMetresPerNm, 20.0, 1e-9);
    EXPECT_EQ(standList[0].latitude, 52.123457);
    lf_clearParkPositions();
    airport.stands[0].uses = {use("D-X", "KLM12", "", 0b1100)};
    ASSERT_TRUE(gf_writeApf(airport, dir() / "a.xml", 0, 3));
    const std::string written = test::readFileBytes(dir() / "a.xml");
    pugi::xml_document doc;
    test::ParkFileBuilder()
        .stand(R"(id="A1" latitude="52.3" longitude="4.75" radius="20" heading="90")",
               R"(<opt reg="D-X" day="0" hh="1"/><opt reg="D-X" day="8" hh="1"/><opt reg="D-X" day="2" hh=""/>)"
               R"(<opt reg="PH-BXA" airl="X" day="2" hh="3" cs="KLM12:KLM34:X"/>)")
        .load(doc);
    lf_readParkPositions(doc);
    ASSERT_EQ(standList.size(), 1U);
    ParkPos& a1 = standList[0];
    ASSERT_EQ(a1.uses.size(), 1U);
    EXPECT_EQ(a1.uses[0].callsign + "|" + a1.uses[0].callsign2 + "|" + a1.uses[0].airline, "KLM12|KLM34:X|TRA");
    pugi::xml_document learned;
    ASSERT_TRUE(learned.load_string(written.c_str()));
    pugi::xml_node parkpos = learned.child("root").child("parkpositions").child("parkpos");
    parkpos.append_attribute("radius_change") = "true";
    parkpos.append_attribute("radius") = "nan";
    for (const char* day : {"3", "0", "9", "-1"}) {
        pugi::xml_node opt = parkpos.append_copy(parkpos.child("opt"));
        opt.attribute("day") = day;
    }
    bool dropUses = false;
    EXPECT_FALSE(lf_readLearnedStand({"B1", parkpos, &dropUses}, a1));
    EXPECT_TRUE(lf_readLearnedStand({"A1", parkpos, &dropUses}, a1));
    ASSERT_EQ(a1.uses.size(), 2U) << "the repeated opt once";
    EXPECT_EQ(a1.uses[1].id, 2U);
    EXPECT_NEAR(a1.radius * kMetresPerNm, 20.0, 1e-9) << "a NaN radius is ignored";
    for (const char* line : {"==> learned opt of stand A1 has bad day 0, skipped",
                             "==> learned opt of stand A1 has bad day 9, skipped",
                             "==> learned opt of stand A1 has bad day -1, skipped",
                             "==> Parking position 'A1' has invalid coordinates, skipped"}) {
        EXPECT_TRUE(logHas(line)) << line;
    }
}

} // namespace
} // namespace zeph
