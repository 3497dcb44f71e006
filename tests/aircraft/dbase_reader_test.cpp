#include <algorithm>
#include <optional>
#include <regex>
#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "aircraft/aircraft_database.h"
#include "settings/data_tree.h"
#include "support/aircraft_fixture.h"
#include "support/log_fixture.h"
#include "support/sealed_files.h"

namespace zeph {
namespace {

namespace fs = std::filesystem;

class DbaseReader : public test::LogFixture {
protected:
    void TearDown() override {
        test::clearTestAircraft();
        LogFixture::TearDown();
    }
    // Seals the plain fixture as input/dbase.enc, each match of a non-empty pattern replaced.
    void sealFixture(const std::string& pattern = "", const std::string& replacement = "",
                     const sealdata::SealFaults& faults = {}) {
        fs::create_directories(dir() / "input");
        const std::string xml = test::readFileBytes(fs::path(AIRCRAFT_TEST_DATA) / "dbase.xml");
        test::writeSealed(dir() / dbaseEncFile,
                          pattern.empty() ? xml : std::regex_replace(xml, std::regex(pattern), replacement),
                          gf_dataFileKey(), faults);
    }
    long logged(const std::string& line) const { return std::ranges::count(readLog(), line); }
};

TEST_F(DbaseReader, TheSealedFixtureFillsEveryTable) {
    sealFixture();
    ASSERT_TRUE(gf_readDbase());
    EXPECT_FALSE(fs::exists(dir() / dbaseXmlFile));
    for (const auto& [type, category] : std::vector<std::pair<std::string, int>>{
             {"B763", 2}, {"B744", 3}, {"C25A", 1}, {"EC35", 5}, {"F16", 4}, {"C172", 0}, {"ZZ99", 0}}) {
        EXPECT_EQ(gf_categoryOfType(type), category) << type;
    }
    EXPECT_FALSE(gf_isKnownAircraftType(""));
    EXPECT_TRUE(gf_isKnownAircraftType("DH8D"));
    EXPECT_EQ(gf_wingspanOfType("E190"), 0.009719222462203024);
    EXPECT_DOUBLE_EQ(halfSpanByType.at("B744"), 32.2 / 1852);
    EXPECT_DOUBLE_EQ(maxHalfSpan, 35.0 / 1852);
    // Buzjets, HighPerf and Rotorcraft have no wingspan: the mean of the four stored ones, never NaN. A
    // span that is missing, not positive or not a number is no span: its type takes its category's mean.
    EXPECT_DOUBLE_EQ(gf_wingspanOfType("EC35"), (17.9 + 18 + 32.2 + 5.5) / 4 / 1852);
    EXPECT_DOUBLE_EQ(gf_wingspanOfType("A320"), (17.9 + 18) / 2 / 1852);
    EXPECT_DOUBLE_EQ(gf_wingspanOfType("B763"), (17.9 + 18) / 2 / 1852);
    for (const std::string line :
         {"==> wingspan model NOPE is not valid, skipped",
          "==> wrong part of fix: 'B73H', already exists, skipped",
          "==> wrong fix XXXX -> NOPE, the latter is not valid", "2 publishers read",
          "==> empty publisher name in 'Aerosoft, AEROSOFT GmbH,' dropped",
          "==> empty publisher name in ',' dropped", "==> regcode PH-BXB already exists",
          "==> wingspan '' of model B763 is not valid, its category's mean used",
          "==> wingspan '-30' of model A320 is not valid, its category's mean used",
          "==> wingspan 'nan' of model EC35 is not valid, its category's mean used",
          "==> wingspan '0' of model R44 is not valid, its category's mean used", "8 dbase records read",
          "==> regcode D-AIMX model a388 is not valid, skipped",
          "==> regcode D-AIMY model  is not valid, skipped",
          "==> no wingspan for category Buzjets, average of all types used",
          "==> no wingspan for category HighPerf, average of all types used",
          "==> no wingspan for category Rotorcraft, average of all types used"}) {
        EXPECT_EQ(logged(line), 1) << line;
    }
    EXPECT_EQ(typeFixes.at("B73H"), "B738");
    const std::vector<std::vector<std::string>> groups = {
        {"A320", "B738", "E190"}, {"A388", "B744", "B77W"}, {"C172"}};
    EXPECT_EQ(similarTypeGroups, groups);
    ASSERT_EQ(thirdPartyAirports.size(), 1U);
    EXPECT_EQ(thirdPartyAirports[0].publisher, "FlyTampa");
    EXPECT_EQ(thirdPartyAirports[0].airports, (std::vector<std::string>{"EHAM1", "LOWW2"}));
    EXPECT_EQ(gf_findPublisherInName("scenery_aerosoft gmbh_EHAM.bgl"), "Aerosoft");
    EXPECT_EQ(gf_findPublisherInName("KJFK_airport.bgl"), std::nullopt) << "an empty name matches nothing";
    EXPECT_EQ(gf_findPublisherInName("scenery_\xff.bgl"), std::nullopt) << "a name that is not UTF-8";

    const auto regcodes = regcodeTable.size();
    const auto publishers = publisherNames;
    ASSERT_TRUE(gf_readDbase());
    EXPECT_EQ(regcodeTable.size(), regcodes);
    EXPECT_EQ(publisherNames, publishers);
    EXPECT_EQ(similarTypeGroups, groups);
    EXPECT_EQ(thirdPartyAirports.size(), 1U);
}

TEST_F(DbaseReader, FailuresThrowOrAnswerFalseAndLeaveNoPlainFile) {
    struct Case {
        const char* name;
        std::string pattern, replacement; // the fixture's variant; "-" for no dbase.enc
        bool damaged;
        std::optional<bool> result; // none: it throws
        std::string text;           // what it threw, or each cargo operator read and ";"
    };
    const std::string empty61 =
        "61: In XML file section [cargo_operators], element [ICAO], attribute [codes] is empty.";
    const std::vector<Case> cases = {
        {"no dbase.enc", "-", "", false, std::nullopt, "input/dbase.enc not available"},
        {"undecryptable", "", "", true, std::nullopt, "input/dbase.enc stream decrypt failed"},
        {"malformed", "</dbase>", "</dbse>", false, false, ""},
        {"no cargo_operators", "<cargo_operators>.*</cargo_operators>", "", false, std::nullopt, empty61},
        {"only a comma", "codes=\"UPS\"", "codes=\",\"", false, std::nullopt, empty61},
        {"an empty piece", "codes=\"UPS\"", "codes=\"A,,B\"", false, true, "A;B;"},
        {"no root", "</?root>", "", false, true, "UPS;"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        fs::remove_all(dir() / "input");
        if (c.pattern != "-") {
            sealFixture(c.pattern, c.replacement,
                        {.flipByte = c.damaged ? std::optional<std::size_t>(40) : std::nullopt});
        }
        std::optional<bool> result;
        std::string text;
        try {
            result = gf_readDbase();
            for (const std::string& code : *result ? cargoOperatorCodes : std::set<std::string>{}) {
                text += code + ";";
            }
        } catch (const std::exception& error) {
            text = error.what();
        }
        EXPECT_EQ(result, c.result);
        EXPECT_EQ(text, c.text);
        EXPECT_FALSE(fs::exists(dir() / dbaseXmlFile));
        if (result == true) {
            EXPECT_EQ(regcodeTable.size(), 8U);
        }
    }
    EXPECT_EQ(std::ranges::count_if(readLog(),
                                    [](const std::string& line) {
                                        return line.starts_with("==> 'input/dbase.xml' not read because of ");
                                    }),
              1)
        << "the malformed file";
}

} // namespace
} // namespace zeph
