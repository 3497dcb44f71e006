#include <algorithm>
#include <list>
#include <optional>
#include <random>
#include <regex>
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
        regcodeTable = {{"D-AIMA", {"DLH", "A320", "", false}},
                        {"N123AB", {"AAL", "B738", "AAX", true}},
                        {"", {"EMP", "B77W", "", false}},
                        {"D-AIMB", {"DLH", "A388", "DLH", false}},
                        {"DA-IMC", {"DLH", "A320", "DLA", false}},
                        {"D-AIMC", {"DLH", "B744", "DLH", false}},
                        {"G-EZAB", {"EZY", "A320", "EJU", false}},
                        {"N12AB", {"AAL", "C172", "", false}},
                        {"N12", {"AAL", "C172", "", false}},
                        {"PH-BXB", {"KLM", "B738", "", false}},
                        {"AB", {}},
                        {"LONGKEY", {}}};
        lf_buildRegcodeIndex();
    }
    void TearDown() override { test::clearTestAircraft(); }
};

TEST_F(RegcodeLookupTest, TriesTheDashFormsThenTheRegistration) {
    const std::vector<std::pair<std::string, std::vector<std::string>>> prefixes = {
        {"DAIMA", {"DA-IMA", "D-AIMA", "DAIMA"}},
        {"N456UP", {"N456UP"}},
        {"G-EZAB", {"G-EZAB"}},
        {"ABCD", {"ABCD"}}};
    for (const auto& [registration, candidates] : prefixes) {
        EXPECT_EQ(lf_regPrefixes(registration), candidates) << registration;
    }
    // "-": nothing found. The table holds an empty key, yet an empty registration is never looked up.
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"", "-"},        {"D-AIMA", "DLH A320 "},   {"N123AB", "AAL B738 AAX cargo"},
        {"d-aima", "-"},  {"DAIMA", "DLH A320 "},    {"D-AIM", "-"},
        {"D-AIMAX", "-"}, {"DAIMB", "DLH A388 DLH"}, {"DAIMC", "DLH A320 DLA"},
        {"N456UP", "-"}};
    for (const auto& [registration, expected] : cases) {
        const auto f = gf_lookupRegcode(registration);
        EXPECT_EQ(f ? f->airl + " " + f->type + " " + f->opr + (f->cargo ? " cargo" : "") : "-", expected)
            << registration;
    }
    EXPECT_EQ(lf_regcodeOperator("G-EZAB"), "EJU");
    EXPECT_EQ(lf_regcodeAirline("G-EZAB"), "EZY");
    EXPECT_EQ(lf_regcodeAirline("XX-XXX"), "");
}

// The table's short keys (under 6 characters, never the empty one) found in a text: the longest at the
// leftmost place, so N12 does not stand in for the N12AB it begins.
TEST_F(RegcodeLookupTest, TextSearchFindsShortKeysOnly) {
    const std::vector<std::pair<std::string, std::optional<std::string>>> cases = {
        {"C172 Caf\xc3\xa9 N12AB", "N12AB"},
        {"nothing here", std::nullopt},
        {"PH-BXB", std::nullopt},
        {"N12", "N12"},
        {"N12A N12AB", "N12"},
        {"", std::nullopt},
        {"LONGKEY", std::nullopt},
        {"xxABxx", "AB"}};
    for (const auto& [text, expected] : cases) {
        EXPECT_EQ(lf_findRegcodeInText(text), expected) << text;
    }
}

TEST_F(RegcodeLookupTest, TheIndexFindsAKeyExactlyWhenTheWalkDoes) {
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
            return !entry.first.empty() && entry.first.size() < 6 &&
                   title.find(entry.first) != std::string::npos;
        });
        const auto found = lf_findRegcodeInText(title);
        ASSERT_EQ(found.has_value(), walkFinds) << title;
        if (found) {
            const std::size_t at = title.find(*found);
            EXPECT_TRUE(regcodeTable.contains(*found) && found->size() < 6 && at != std::string::npos);
            // No key starts further left, and none starting there is longer.
            for (std::size_t start = 0; start <= at; ++start) {
                for (std::size_t length = 1; length < 6 && start + length <= title.size(); ++length) {
                    const bool beats = start < at || length > found->size();
                    EXPECT_FALSE(beats && regcodeTable.contains(title.substr(start, length))) << title;
                }
            }
        }
    }
}

using RegcodeReaders = test::LogFixture;

// The fixture and its variants: each match of the pattern removed or replaced.
TEST_F(RegcodeReaders, AigFileVariants) {
    struct Case {
        const char* name;
        std::string pattern, replacement;
        bool result;
        std::size_t records;
        std::vector<std::string> lines;
    };
    const std::vector<Case> cases = {
        {"fixture",
         "",
         "",
         false,
         6,
         {"==> SAME AS PREVIOUS title 'Old title not to use'", "6 liveries read from AIG-regcodes"}},
        {"no meta", "<meta>[\\s\\S]*</meta>", "", false, 0, {}},
        {"meta only",
         "<AIG-regcodes>[\\s\\S]*</AIG-regcodes>",
         "",
         true,
         0,
         {"0 liveries read from AIG-regcodes"}},
        {"malformed",
         "</AIG-regcodes>",
         "</AIG-regcode>",
         false,
         0,
         {"==> Failed to load input/AIG-regcodes.xml"}},
    };
    fs::create_directories(dir() / "input");
    const std::string xml = test::readFileBytes(fs::path(AIRCRAFT_TEST_DATA) / "AIG-regcodes.xml");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        test::writeFileBytes(
            dir() / aigRegcodesXmlFile,
            c.pattern.empty() ? xml : std::regex_replace(xml, std::regex(c.pattern), c.replacement));
        const std::size_t before = readLog().size();
        std::list<RegcodeLivery> out;
        EXPECT_EQ(lf_readAIGregcodes(out), c.result);
        EXPECT_EQ(out.size(), c.records);
        const auto lines = readLog();
        EXPECT_EQ(std::vector<std::string>(lines.begin() + static_cast<std::ptrdiff_t>(before), lines.end()),
                  c.lines);
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
    // An empty piece of a list is no registration: "PH-BXJ," holds one, so its livery is special.
    EXPECT_EQ(records, (std::vector<std::string>{"B738 KLM 3 special: PH-BXB", "B738 KLM 10 special: PH-BXJ",
                                                 "B738 KLM 4 special: PH-BXE PH-BXF", "B738 KLM 5: PH-BXG",
                                                 "Only a title:", "B738 KLM 6 special: PH-BXH"}));
    const auto lines = readLog();
    for (const std::string line :
         {"==> wrong regcode length 'AB' in input/my_regcodes/user_a.TXT",
          "==> input/my_regcodes/user_a.TXT: wrong format 'a;b;c;d'", "6 liveries"}) {
        EXPECT_EQ(std::count(lines.begin(), lines.end(), line), 1) << line;
    }
    EXPECT_EQ(
        std::count(lines.begin(), lines.end(), "==> wrong regcode length '' in input/my_regcodes/user_a.TXT"),
        0);
    EXPECT_FALSE(lf_processRegcodeFiles("input/nothere", out));
    EXPECT_TRUE(readLog().back().starts_with("==> Error reading regcode files in input/nothere, what: "));
}

} // namespace
} // namespace zeph
