#include <gtest/gtest.h>

#include <pugixml.hpp>

#include "model/records.h"
#include "sim/flight_plans.h"
#include "support/temp_dir.h"

namespace zeph {
namespace {

namespace fs = std::filesystem;

std::string expectedPlan(std::string_view rules, std::string_view from, std::string_view to) {
    return std::string("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                       "<SimBase.Document Type=\"AceXML\" version=\"4,3\">\n"
                       "<FlightPlan.FlightPlan>\n<FPType>") +
           std::string(rules) + "</FPType>\n<DepartureID>" + std::string(from) +
           "</DepartureID>\n<DestinationID>" + std::string(to) +
           "</DestinationID>\n</FlightPlan.FlightPlan>\n</SimBase.Document>\n\n";
}

AcProfile profileOf(AcKind kind, std::string from, std::string to) {
    AcProfile aircraft;
    aircraft.kind = kind;
    aircraft.from = std::move(from);
    aircraft.to = std::move(to);
    return aircraft;
}

TEST(FlightPlan, PathIsTheObjectIdInTheFolder) {
    test::TempDir temp;
    flightPlanFolder = temp.path();
    EXPECT_EQ(gf_flightPlanPath(4711), temp / "4711.pln");
    EXPECT_EQ(gf_flightPlanPath(4294967295U), temp / "4294967295.pln");
}

// The whole file, byte for byte, and read back by an XML parser: the codes come out as they went in.
TEST(FlightPlan, FileHoldsRulesAndEscapedCodes) {
    struct Case {
        const char* name;
        AcKind kind;
        std::string from, to;
        std::string rules, writtenFrom, writtenTo;
    };
    const Case cases[] = {
        {"Heavy", AcKind::Heavy, "EDDF", "KJFK", "IFR", "EDDF", "KJFK"},
        {"Large", AcKind::Large, "EDDF", "KJFK", "IFR", "EDDF", "KJFK"},
        {"Buzjets", AcKind::Buzjets, "EDDF", "KJFK", "IFR", "EDDF", "KJFK"},
        {"Light", AcKind::Light, "EDDF", "KJFK", "VFR", "EDDF", "KJFK"},
        {"HighPerf", AcKind::HighPerf, "EDDF", "KJFK", "VFR", "EDDF", "KJFK"},
        {"Rotorcraft", AcKind::Rotorcraft, "EDDF", "KJFK", "VFR", "EDDF", "KJFK"},
        {"escaped departure", AcKind::Heavy, "A&B<", "KJFK", "IFR", "A&amp;B&lt;", "KJFK"},
        {"escaped destination", AcKind::Large, "EDDF", "\"x'>", "IFR", "EDDF", "&quot;x&apos;&gt;"},
        {"empty codes", AcKind::Light, "", "", "VFR", "", ""},
    };
    test::TempDir temp;
    const fs::path file = temp / "4711.pln";
    // An older, longer plan under the same name must not leave a tail behind.
    test::writeFileBytes(file, std::string(2000, 'x'));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(gf_writeFlightPlan(file, profileOf(c.kind, c.from, c.to)));
        EXPECT_EQ(test::readFileBytes(file), expectedPlan(c.rules, c.writtenFrom, c.writtenTo));
        pugi::xml_document document;
        ASSERT_TRUE(document.load_file(file.c_str()));
        const pugi::xml_node plan = document.child("SimBase.Document").child("FlightPlan.FlightPlan");
        EXPECT_EQ(std::string(plan.child_value("DepartureID")), c.from);
        EXPECT_EQ(std::string(plan.child_value("DestinationID")), c.to);
    }
}

TEST(FlightPlan, FailedWriteIsReported) {
    test::TempDir temp;
    fs::create_directories(temp / "folder.pln");
    struct Case {
        const char* name;
        fs::path file;
    };
    const Case cases[] = {
        {"full device", "/dev/full"},
        {"missing folder", temp / "missing" / "1.pln"},
        {"a folder", temp / "folder.pln"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_FALSE(gf_writeFlightPlan(c.file, profileOf(AcKind::Heavy, "EDDF", "KJFK")));
    }
    EXPECT_FALSE(fs::exists(temp / "missing"));
}

} // namespace
} // namespace zeph
