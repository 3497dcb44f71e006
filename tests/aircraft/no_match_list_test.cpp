#include "aircraft/no_match_list.h"

#include <algorithm>
#include <set>

#include <gtest/gtest.h>

#include "aircraft/livery_matcher.h"
#include "support/log_fixture.h"
#include "support/livery_tables.h"

namespace zeph {
namespace {

using Lines = std::vector<std::string>;

class NoMatchList : public test::LogFixture {
protected:
    void TearDown() override {
        noMatchList.clear();
        failedTypeAirlines.clear();
        matchStepCounts.fill(0);
        LogFixture::TearDown();
    }
};

TEST_F(NoMatchList, TheListIsOneBlockOfItsEntries) {
    gf_printNoMatchList();
    EXPECT_TRUE(readLog().empty()) << "an empty list writes nothing";
    noMatchList = {"KL  B73  PH-ABC", "KL  B73  PH-ABD"};
    gf_printNoMatchList();
    const Lines lines = readLog();
    ASSERT_EQ(lines.size(), 5U);
    EXPECT_EQ(Lines(lines.begin(), lines.begin() + 2), (Lines{"", "No match found for:"}));
    EXPECT_EQ(std::set<std::string>(lines.begin() + 2, lines.begin() + 4),
              (std::set<std::string>{"KL  B73  PH-ABC", "KL  B73  PH-ABD"}));
    EXPECT_EQ(lines.back(), "");
}

TEST_F(NoMatchList, TheSummaryCountsEveryStepOnceAMatchWasAccepted) {
    failedTypeAirlines = {"B738 KLM"};
    gf_writeMatchingSummary();
    EXPECT_TRUE(readLog().empty()) << "no match accepted yet";
    matchStepCounts[2] = 3;
    matchStepCounts[4] = 1;
    gf_writeMatchingSummary();
    EXPECT_EQ(readLog(), (Lines{"", test::matchingSummaryBanner(), "Matches at step: ", "  0: 0", "  1: 0", "  2: 3",
                                "  3: 0", "  4: 1", "  5: 0", "  6: 0", "", "Could not be created by P3D:",
                                "  B738 KLM", std::string(100, '*'), ""}));
}

} // namespace
} // namespace zeph
