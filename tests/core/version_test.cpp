#include "core/version.h"

#include <optional>
#include <regex>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "core/program.h"
#include "support/log_fixture.h"

namespace zeph {
namespace {

class VersionParse : public test::LogFixture {};

std::string shown(std::string_view text) {
    std::string out;
    for (const char c : text) {
        out += c == '\n' ? std::string("\\n") : c == '\r' ? std::string("\\r") : std::string(1, c);
    }
    return out;
}

TEST_F(VersionParse, TextsAndTheirLogLines) {
    struct Case {
        std::string text;
        Version expected;
        std::string logStart; // empty: no log line at all
    };
    const std::string conversion = "VersionData exception: parse error in version string";
    const std::vector<Case> cases = {
        {"11.10.5", {11, 10, 5}, ""},
        {"", {}, ""},
        {"11.10", {}, ""},
        {"11.10.5.1", {}, "VersionData exception: [json.exception.parse_error"},
        {"11a10b5", {11, 10, 5}, ""},
        {"11-10-5", {11, 10, 5}, ""},
        {"007.08.09", {7, 8, 9}, ""},
        {"123456", {12, 4, 6}, ""},
        {"99999999999.1.1", {}, conversion},
        {"1.99999999999.1", {1, 0, 0}, conversion},
        {"1.2.99999999999", {1, 2, 0}, conversion},
        {"2147483647.0.2147483647", {2147483647, 0, 2147483647}, ""},
        {"2147483648.0.0", {}, conversion},
        {" 11.10.5", {}, "VersionData exception: [json.exception.parse_error"},
        {"11.10.5 ", {}, "VersionData exception: [json.exception.parse_error"},
        {"11\n10\n5", {}, "VersionData exception: [json.exception.parse_error"},
        {R"({"major":2,"minor":1})", {2, 1, 0}, ""},
        {R"({"patch":3,"major":-4,"other":"x"})", {-4, 0, 3}, ""},
        {R"({"major":7.9})", {7, 0, 0}, ""},
        {R"({"major":1e20})", {}, conversion},
        {R"({"major":1,"minor":4294967296})", {1, 0, 0}, conversion},
        {R"({"major":1,"minor":-2147483649})", {1, 0, 0}, conversion},
        {R"({"major":"2"})", {}, "VersionData exception: [json.exception.type_error.302]"},
        {R"({"major":3,"minor":true})", {3, 0, 0}, "VersionData exception: [json.exception.type_error.302]"},
        {R"({"major":null})", {}, "VersionData exception: [json.exception.type_error.302]"},
        {"[1,2,3]", {}, ""},
        {"\"11.10.5\"", {}, ""},
        {"{}", {}, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE("text \"" + shown(c.text) + "\"");
        const auto before = readLog().size();
        EXPECT_EQ(gf_parseVersion(c.text), c.expected);
        const auto log = readLog();
        if (c.logStart.empty()) {
            EXPECT_EQ(log.size(), before);
            continue;
        }
        ASSERT_EQ(log.size(), before + 1);
        if (c.logStart == conversion) {
            EXPECT_EQ(log.back(), conversion);
        } else {
            EXPECT_EQ(log.back().rfind(c.logStart, 0), 0u) << log.back();
        }
    }
}

TEST_F(VersionParse, LongTextsEndQuickly) {
    // Neither the matcher nor the JSON reader may recurse per character or backtrack per pair of them.
    const std::size_t size = 1'000'000;
    const std::size_t depth = 200'000; // far beyond what a recursive reader survives on an 8 MB stack
    struct Case {
        std::string name;
        std::string text;
        Version expected;
        bool logged;
    };
    const std::vector<Case> cases = {
        {"digits then x", std::string(size, '1') + "x", {}, true},
        {"digits with separators", std::string(size, '1') + ".1.1", {}, true},
        {"long separated tail", "1.1." + std::string(size, '0') + "7", {1, 1, 7}, false},
        {"nested arrays", std::string(depth, '[') + std::string(depth, ']'), {}, false},
        {"unclosed arrays", std::string(depth, '['), {}, true},
        {"nested object",
         R"({"major":3,"x":)" + std::string(depth, '[') + std::string(depth, ']') + "}",
         {3, 0, 0},
         false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const auto before = readLog().size();
        EXPECT_EQ(gf_parseVersion(c.text), c.expected);
        EXPECT_EQ(readLog().size(), before + (c.logged ? 1 : 0));
    }
}

TEST(Version, ProgramVersionReadsFromItsText) {
    EXPECT_EQ(gf_parseVersion(programVersionText), programVersion);
    EXPECT_EQ(gf_versionText(programVersion), programVersionText);
}

TEST(Version, TextOfVersion) {
    EXPECT_EQ(gf_versionText({11, 10, 5}), "11.10.5");
    EXPECT_EQ(gf_versionText({-1, 0, 2147483647}), "-1.0.2147483647");
    EXPECT_EQ(lf_versionTextThunk({1, 2, 3}), "1.2.3");
}

TEST(Version, Ordering) {
    struct Case {
        Version a;
        Version b;
        bool greater;
    };
    const std::vector<Case> cases = {
        {{11, 10, 5}, {11, 9, 99}, true},  {{11, 10, 5}, {11, 10, 5}, false},
        {{12, 0, 0}, {11, 99, 99}, true},  {{0, 0, 1}, {0, 0, 0}, true},
        {{11, 9, 99}, {11, 10, 5}, false}, {{11, 99, 99}, {12, 0, 0}, false},
        {{0, 0, 0}, {0, 0, 1}, false},     {{0, 0, 0}, {-1, 5, 5}, true},
        {{1, -1, 0}, {1, 0, 0}, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(gf_versionText(c.a) + " > " + gf_versionText(c.b));
        EXPECT_EQ(c.a > c.b, c.greater);
    }
}

// Every text over a small alphabet up to length six, against the library's matcher on the same pattern.
TEST(Version, MatcherAgreesWithEcmaScriptRegex) {
    const std::regex pattern(R"((\d+).(\d+).(\d+))");
    const std::string alphabet = "12.a\n";
    std::vector<std::string> texts = {""};
    std::size_t matched = 0;
    for (std::size_t length = 0; length <= 6; ++length) {
        std::vector<std::string> longer;
        for (const auto& text : texts) {
            std::smatch groups;
            const bool expected = std::regex_match(text, groups, pattern);
            const auto actual = matchVersionText(text);
            ASSERT_EQ(actual.has_value(), expected) << "text \"" << shown(text) << "\"";
            if (expected) {
                ++matched;
                for (std::size_t i = 0; i < 3; ++i) {
                    ASSERT_EQ((*actual)[i], groups[i + 1].str())
                        << "group " << i + 1 << " of \"" << shown(text) << "\"";
                }
            }
            for (const char c : alphabet) {
                longer.push_back(text + c);
            }
        }
        texts = std::move(longer);
    }
    EXPECT_GT(matched, 500u); // the table must exercise matches, not only refusals
}

TEST(Version, MatcherSplitsLikeAGreedyRegex) {
    struct Case {
        std::string text;
        std::optional<std::array<std::string_view, 3>> expected;
    };
    using Groups = std::array<std::string_view, 3>;
    const std::vector<Case> cases = {
        {"11-10-5", Groups{"11", "10", "5"}},
        {"123456", Groups{"12", "4", "6"}},
        {"11111", Groups{"1", "1", "1"}},
        {"1111", std::nullopt},
        {"11\n10\n5", std::nullopt},
        {"11\r10.5", std::nullopt},
        {"1.2\n34", std::nullopt},
        {"1.2.\n", std::nullopt},
        {"1\n2.3.4", std::nullopt},
        {"12.3.45", Groups{"12", "3", "45"}},
        {"1.23.4567", Groups{"1", "23", "4567"}},
        {"12..3", std::nullopt},
        {"1..2.3", std::nullopt},
        {"1.2.3x", std::nullopt},
        {"x1.2.3", std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE("text \"" + shown(c.text) + "\"");
        EXPECT_EQ(matchVersionText(c.text), c.expected);
    }
}

} // namespace
} // namespace zeph
