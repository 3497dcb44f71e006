#include <algorithm>
#include <list>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "aircraft/aircraft_database.h"
#include "aircraft/regcodes.h"
#include "settings/data_tree.h"
#include "support/aircraft_fixture.h"
#include "support/log_fixture.h"

namespace zeph {
namespace {

namespace fs = std::filesystem;

class RegcodeLookupTest : public ::testing::Test {
protected:
    void SetUp() override {
        regcodeTable = {{"D-AIMA", {"DLH", "A320", "", false}}, {"N123AB", {"AAL", "B738", "AAX", true}},
                        {"", {"EMP", "B77W", "", false}},       {"D-AIMB", {"DLH", "A388", "DLH", false}},
                        {"DA-IMC", {"DLH", "A320", "DLA", false}}, {"D-AIMC", {"DLH", "B744", "DLH", false}},
                        {"G-EZAB", {"EZY", "A320", "EJU", false}}, {"N12AB", {"AAL", "C172", "", false}},
                        {"PH-BXB", {"KLM", "B738", "", false}}};
        lf_buildRegcodeIndex();
    }
    void TearDown() override { test::clearTestAircraft(); }
};

TEST_F(RegcodeLookupTest, TriesTheDashFormsThenTheRegistration) {
    const std::vector<std::pair<std::string, std::vector<std::string>>> prefixes = {
        {"DAIMA", {"DA-IMA", "D-AIMA", "DAIMA"}}, {"N456UP", {"N456UP"}}, {"G-EZAB", {"G-EZAB"}}, {"ABCD", {"ABCD"}}};
    for (const auto& [registration, candidates] : prefixes) {
        EXPECT_EQ(lf_regPrefixes(registration), candidates) << registration;
    }
    const std::vector<std::pair<std::string, std::optional<std::string>>> cases = {
        // The table holds an empty key, yet an empty registration is never looked up.
        {"", std::nullopt},          {"D-AIMA", "DLH A320 "},  {"N123AB", "AAL B738 AAX cargo"},
        {"d-aima", std::nullopt},    {"DAIMA", "DLH A320 "},   {"D-AIM", std::nullopt},
        {"D-AIMAX", std::nullopt},   {"DAIMB", "DLH A388 DLH"}, {"DAIMC", "DLH A320 DLA"},
        {"N456UP", std::nullopt},
    };
    for (const auto& [registration, expected] : cases) {
        const auto found = gf_lookupRegcode(registration);
        const auto text = found ? std::optional<std::string>(found->airl + " " + found->type + " " + found->opr +
                                                             (found->cargo ? " cargo" : ""))
                                : std::nullopt;
        EXPECT_EQ(text, expected) << registration;
    }
    EXPECT_EQ(lf_regcodeOperator("G-EZAB"), "EJU");
    EXPECT_EQ(lf_regcodeAirline("G-EZAB"), "EZY");
    EXPECT_EQ(lf_regcodeAirline("XX-XXX"), "");
}

TEST(RegcodeLookup, EmptyTableFindsNothing) {
    test::clearTestAircraft();
    EXPECT_FALSE(gf_lookupRegcode("D-AIMA").has_value());
    EXPECT_FALSE(gf_lookupRegcode("").has_value());
}

TEST_F(RegcodeLookupTest, TextSearchFindsShortKeysOnly) {
    regcodeTable["AB"] = {};
    regcodeTable["LONGKEY"] = {};
    lf_buildRegcodeIndex();
    const std::vector<std::pair<std::string, std::optional<std::string>>> cases = {
        {"C172 Caf\xc3\xa9 N12AB", "N12AB"}, {"nothing here", std::nullopt}, {"PH-BXB", std::nullopt},
        {"N12", std::nullopt}, {"", std::nullopt}, {"LONGKEY", std::nullopt}, {"xxABxx", "AB"}};
    for (const auto& [text, expected] : cases) {
        EXPECT_EQ(lf_findRegcodeInText(text), expected) << text;
    }
}

TEST(RegcodeTextSearch, IndexFindsAKeyExactlyWhenTheWalkDoes) {
    std::mt19937 random(19);
    auto word = [&](std::size_t length) {
        std::string text;
        for (std::size_t k = 0; k < length; ++k) {
            text += "ABCDEFGH-12"[random() % 11];
        }
        return text;
    };
    regcodeTable.clear();
    for (int k = 0; k < 2000; ++k) {
        regcodeTable[word(2 + random() % 7)] = {};
    }
    regcodeTable[""] = {};
    lf_buildRegcodeIndex();
    for (int k = 0; k < 1000; ++k) {
        const std::string title = word(5 + random() % 30);
        const bool walkFinds = std::any_of(regcodeTable.begin(), regcodeTable.end(), [&](const auto& entry) {
            return !entry.first.empty() && entry.first.size() < 6 && title.find(entry.first) != std::string::npos;
        });
        const auto found = lf_findRegcodeInText(title);
        ASSERT_EQ(found.has_value(), walkFinds) << title;
        if (found) {
            EXPECT_TRUE(regcodeTable.contains(*found) && found->size() < 6 && title.find(*found) != std::string::npos);
        }
    }
    test::clearTestAircraft();
}

using RegcodeReaders = test::LogFixture;

TEST_F(RegcodeReaders, AigFileVariants) {
    struct Case {
        const char* fixture;
        bool result;
        std::size_t records;
        std::vector<std::string> lines;
    };
    const std::vector<Case> cases = {
        {"AIG-regcodes.xml", false, 5,
         {"==> SAME AS PREVIOUS title 'Old title not to use'", "5 liveries read from AIG-regcodes"}},
        {"AIG-regcodes_no_meta.xml", false, 0, {}},
        {"AIG-regcodes_meta_only.xml", true, 0, {"0 liveries read from AIG-regcodes"}},
        {"AIG-regcodes_malformed.xml", false, 0, {"==> Failed to load input/AIG-regcodes.xml"}},
    };
    fs::create_directories(dir() / "input");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.fixture);
        fs::copy_file(fs::path(AIRCRAFT_TEST_DATA) / c.fixture, dir() / aigRegcodesXmlFile,
                      fs::copy_options::overwrite_existing);
        const std::size_t before = readLog().size();
        std::list<RegcodeLivery> out;
        EXPECT_EQ(lf_readAIGregcodes(out), c.result);
        EXPECT_EQ(out.size(), c.records);
        const auto lines = readLog();
        EXPECT_EQ(std::vector<std::string>(lines.begin() + static_cast<std::ptrdiff_t>(before), lines.end()), c.lines);
    }
    EXPECT_FALSE(fs::exists(dir() / aigRegcodesXmlFile)) << "a file that does not load is removed";
}

TEST_F(RegcodeReaders, UserFilesInNameOrder) {
    fs::create_directories(dir() / "input");
    fs::copy(fs::path(AIRCRAFT_TEST_DATA) / "my_regcodes", dir() / myRegcodesDir);
    test::writeFileBytes(dir() / myRegcodesDir / "\xff.TXT", "\n"); // a name that is not UTF-8
    std::list<RegcodeLivery> out;
    EXPECT_FALSE(lf_processRegcodeFiles(myRegcodesDir, out));
    std::vector<std::string> records;
    for (const RegcodeLivery& livery : out) {
        std::string text = livery.title + (livery.special ? " special:" : ":");
        for (const std::string& reg : livery.regs) {
            text += " " + reg;
        }
        records.push_back(text);
    }
    EXPECT_EQ(records, (std::vector<std::string>{"B738 KLM 3 special: PH-BXB", "B738 KLM 4 special: PH-BXE PH-BXF",
                                                 "B738 KLM 5: PH-BXG", "Only a title:", "B738 KLM 6 special: PH-BXH"}));
    const auto lines = readLog();
    for (const std::string line : {"==> wrong regcode length 'AB' in input/my_regcodes/user_a.TXT",
                                   "==> input/my_regcodes/user_a.TXT: wrong format 'a;b;c;d'", "5 liveries"}) {
        EXPECT_EQ(std::count(lines.begin(), lines.end(), line), 1) << line;
    }
    EXPECT_FALSE(lf_processRegcodeFiles("input/nothere", out));
    EXPECT_TRUE(readLog().back().starts_with("==> Error reading regcode files in input/nothere, what: "));
}

} // namespace
} // namespace zeph
