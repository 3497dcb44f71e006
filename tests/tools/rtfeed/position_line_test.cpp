// The position line decoded back into plain units.
#include "rtfeed/position_line.h"

#include <gtest/gtest.h>

#include "rtfeed/rt_feed.h"

namespace zeph::rtfeed {
namespace {

TEST(PositionLine, TheExampleLineGivesItsValuesBack) {
    const auto report =
        RtFeed::decodePositionLine("Qs121=5000;-10000;1.570796;35000000;450000;0.907571;0.078540\r\n");
    ASSERT_TRUE(report.has_value());
    EXPECT_DOUBLE_EQ(report->pitch, 0.05);
    EXPECT_DOUBLE_EQ(report->bank, -0.1);
    EXPECT_DOUBLE_EQ(report->heading, 1.570796);
    EXPECT_DOUBLE_EQ(report->altitudeFeet, 35000);
    EXPECT_DOUBLE_EQ(report->groundSpeedKnots, 450);
    // Six decimals of radians are good to about 3e-5 degrees.
    EXPECT_NEAR(report->latitude, 52.0, 3e-5);
    EXPECT_NEAR(report->longitude, 4.5, 3e-5);
}

TEST(PositionLine, FractionalSpeedAndNoLineEnd) {
    const auto report = decodePositionLine("Qs121=0;0;0.000000;0;251234.5;0.000000;-3.141593");
    ASSERT_TRUE(report.has_value());
    EXPECT_DOUBLE_EQ(report->groundSpeedKnots, 251.2345);
    EXPECT_NEAR(report->longitude, -180.0, 3e-5);
}

TEST(PositionLine, LinesThatAreNotPositionLinesGiveNothing) {
    const char* cases[] = {
        "",
        "Qs123=1733560000000\r\n",
        "qs121=5000;-10000;1.570796;35000000;450000;0.907571;0.078540",
        "Qs121=5000;-10000;1.570796;35000000;450000;0.907571",
        "Qs121=5000;-10000;1.570796;35000000;450000;0.907571;0.078540;1",
        "Qs121=5000;-10000;1.570796;35000000;450000;0.907571;",
        "Qs121=5000;;1.570796;35000000;450000;0.907571;0.078540",
        "Qs121=5000;-10000;1.570796;35000000;450000;0.907571;0.078540\r\nQs121=1",
        "Qs121=5000;-10000;1.570796;35000000;450000;nan;0.078540",
        "Qs121=5000;-10000;inf;35000000;450000;0.907571;0.078540",
        "Qs121=5e3x;-10000;1.570796;35000000;450000;0.907571;0.078540",
        "Qs121= 5000;-10000;1.570796;35000000;450000;0.907571;0.078540",
        "Qs121=5000;-10000;1.570796;35000000;450000;0.907571;0.078540\n",
    };
    for (const char* text : cases) {
        EXPECT_FALSE(decodePositionLine(text).has_value()) << "'" << text << "'";
    }
}

} // namespace
} // namespace zeph::rtfeed
