#include "core/strings.h"

#include <cstdint>
#include <limits>
#include <list>
#include <string>
#include <vector>

#include <gsl/narrow>
#include <gtest/gtest.h>

namespace zeph {
namespace {

using Tokens = std::vector<std::string>;

TEST(Strings, SplitKeepsEveryTrimmedToken) {
    struct Case {
        std::string text;
        char delimiter;
        Tokens expected;
    };
    const std::vector<Case> cases = {
        {"", ',', {}},
        {",", ',', {"", ""}},
        {"a, ,b", ',', {"a", "", "b"}},
        {"  lone token\t", ',', {"lone token"}},
        {"a,b,", ',', {"a", "b", ""}},
        {",a", ',', {"", "a"}},
        {"x; y ;z", ';', {"x", "y", "z"}},
        {"a,b", ';', {"a,b"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE("text \"" + c.text + "\"");
        EXPECT_EQ(gf_split(c.text, c.delimiter), c.expected);
        if (c.delimiter == ',') {
            EXPECT_EQ(gf_splitCommaList(c.text), c.expected);
            EXPECT_EQ(gf_splitAtComma(c.text), c.expected);
        }
    }
}

TEST(Strings, SplitCommaViewSortsAndDropsRepeats) {
    struct Case {
        std::string text;
        std::list<std::string> expected;
    };
    const std::vector<Case> cases = {
        {"b,a,b, ,a", {"", "a", "b"}},
        {"", {}},
        {"ab,a,B", {"B", "a", "ab"}},
        {" z , z ,z", {"z"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE("text \"" + c.text + "\"");
        EXPECT_EQ(gf_splitCommaView(c.text), c.expected);
    }
}

TEST(Strings, TrimRemovesOnlyTheFourBlanks) {
    struct Case {
        std::string text;
        std::string expected;
    };
    const std::vector<Case> cases = {
        {"\tEGLL\r\n", "EGLL"},
        {"", ""},
        {" \t\r\n ", ""},
        {" a b ", "a b"},
        {"\va\f", "\va\f"},
        {"\xC2\xA0x\xC2\xA0", "\xC2\xA0x\xC2\xA0"},
        {"x", "x"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE("text \"" + c.text + "\"");
        EXPECT_EQ(gf_trim(c.text), c.expected);
    }
}

TEST(Strings, RemoveBlanksRebuildsOnlyListsWithBlanks) {
    struct Case {
        std::string text;
        std::string expected;
    };
    const std::vector<Case> cases = {
        {"a,b,,c,", "a,b,,c,"}, {"a, b", "a,b"}, {" a ,\t, b\n", "a,,b"}, {"", ""}, {" ", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE("text \"" + c.text + "\"");
        std::string text = c.text;
        gf_removeBlanksInCommaList(text);
        EXPECT_EQ(text, c.expected);
    }
}

TEST(Strings, JoinWithComma) {
    EXPECT_EQ(gf_joinWithComma({}), "");
    EXPECT_EQ(gf_joinWithComma({"a"}), "a");
    EXPECT_EQ(gf_joinWithComma({"a", "", "b"}), "a,,b");
}

TEST(Strings, Comparisons) {
    struct Case {
        std::string a;
        std::string b;
        bool withStar;
        bool upper;
    };
    const std::vector<Case> cases = {
        {"EGLL", "EGLL*", true, false},   {"EGLL", "EGLL", false, true},   {"EGLL", "EGLX*", false, false},
        {"EGLL", "EGLL**", false, false}, {"", "*", true, false},          {".XML", ".xml", false, true},
        {".xml", ".xml", false, false},   {".XML", ".xmlx", false, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE("a \"" + c.a + "\" b \"" + c.b + "\"");
        EXPECT_EQ(gf_equalsWithStar(c.a, c.b), c.withStar);
        EXPECT_EQ(gf_equalsUpper(c.a, c.b), c.upper);
    }
    EXPECT_EQ(gf_toUpperChar('q'), 'Q');
    EXPECT_EQ(gf_toUpperChar('7'), '7');
    EXPECT_EQ(gf_toUpperChar(0xE9), 0xE9); // the C locale leaves bytes above ASCII alone
}

TEST(Strings, PercentageRoundsHalfAwayFromZero) {
    struct Case {
        std::int64_t part;
        std::int64_t whole;
        int expected;
    };
    const std::vector<Case> cases = {
        {1, 3, 33},
        {2, 3, 67},
        {1, 2, 50},
        {5, 0, 0},
        {5, -3, 0},
        {0, 7, 0},
        {7, 7, 100},
        {1, 200, 1},
        {-1, 200, -1},
        {1, 201, 0},
        {3, 1, 300},
        {std::numeric_limits<int>::max() / 100, 1, std::numeric_limits<int>::max() / 100 * 100},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.part << " of " << c.whole);
        EXPECT_EQ(gf_percentage(c.part, c.whole), c.expected);
    }
}

TEST(Strings, PercentageBeyondIntThrows) {
    const std::vector<std::int64_t> parts = {
        std::numeric_limits<std::int64_t>::max() / 50,
        std::numeric_limits<std::int64_t>::max(),
        std::numeric_limits<std::int64_t>::min(),
        std::int64_t{std::numeric_limits<int>::max()} / 100 + 1,
    };
    for (const auto part : parts) {
        SCOPED_TRACE(testing::Message() << "part " << part);
        EXPECT_THROW((void)gf_percentage(part, 1), gsl::narrowing_error);
    }
}

TEST(Strings, StarBanner) {
    struct Case {
        std::int64_t width;
        std::int64_t extra;
        bool before;
        bool after;
        std::string title;
        std::string expected;
    };
    const std::string nine(9, '*');
    const std::vector<Case> cases = {
        {9, 0, true, true, "", "\n**********\n"},
        {20, 0, false, false, "Liveries", nine + " Liveries " + nine},
        {19, 0, false, false, "Liveries", nine + " Liveries " + nine},
        {6, 0, false, false, "Liveries", "Liveries"},
        {6, 0, true, true, "Liveries", "\nLiveries\n"},
        {10, 0, false, false, "Liveries", "Liveries"},
        {11, 0, false, true, "Liveries", "***** Liveries *****\n"},
        {4, 3, false, false, "", "********"},
        {0, 0, true, false, "", "\n"},
        {-5, 0, false, false, "", ""},
        {6, 0, false, false, "ab", "** ab **"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message()
                     << "width " << c.width << " extra " << c.extra << " title \"" << c.title << "\"");
        EXPECT_EQ(gf_starBanner(c.width, c.extra, c.before, c.after, c.title), c.expected);
    }
}

TEST(Strings, Plural) {
    EXPECT_EQ(gf_plural(0), "s");
    EXPECT_EQ(gf_plural(1), "");
    EXPECT_EQ(gf_plural(2), "s");
    EXPECT_EQ(gf_plural(-1), "");
    EXPECT_EQ(gf_plural(std::int64_t{0}), "s");
    EXPECT_EQ(gf_plural(std::int64_t{1}), "");
    EXPECT_EQ(gf_plural(std::int64_t{-1}), "");
    EXPECT_EQ(gf_plural(std::int64_t{5'000'000'000}), "s");
    EXPECT_EQ(gf_plural(std::size_t{0}), "s");
    EXPECT_EQ(gf_plural(std::size_t{1}), "");
    EXPECT_EQ(gf_plural(std::size_t{2}), "s");
}

TEST(Strings, FloatText) {
    struct Case {
        float x;
        std::string expected;
    };
    const std::vector<Case> cases = {
        {3.0f, "3"},    {3.5f, "3.5"},           {-2.0f, "-2"},  {0.0f, "0"},
        {0.25f, "0.2"}, {1234567.0f, "1234567"}, {2.96f, "3.0"}, {-0.5f, "-0.5"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "x " << c.x);
        EXPECT_EQ(gf_floatText(c.x), c.expected);
    }
}

} // namespace
} // namespace zeph
