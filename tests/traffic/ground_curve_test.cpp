#include <cmath>
#include <limits>

#include <gtest/gtest.h>

#include "traffic/ground_curve.h"
#include "traffic/position_stream.h"

namespace zeph {
namespace {

constexpr GeoPoint kOrigin{47.0, 8.0};

TEST(GroundCurve, ATaxiTurnIsOneBezierCurveThroughTheFrame) {
    // Control point 40 m north, end 40 m north and 40 m east.
    const CurveView curve{kOrigin, {0.0, 40.0}, {40.0, 40.0}, 0.0, 1.0};
    GeoPoint p;
    double heading = 0.0;
    ASSERT_TRUE(gf_pointOnCurve(curve, p, heading, 0.0));
    EXPECT_EQ(p.lat, kOrigin.lat);
    EXPECT_EQ(p.lon, kOrigin.lon);
    EXPECT_NEAR(heading, gf_initialBearing(kOrigin, lf_fromLocalFrame(kOrigin, {0, 40})), 0.05 * kDegToRad);
    double last = heading;
    for (int i = 1; i <= 1000; ++i) {
        ASSERT_TRUE(gf_pointOnCurve(curve, p, heading, i / 1000.0));
        const LocalOffset at = lf_toLocalFrame(kOrigin, p);
        EXPECT_TRUE(at.east >= -1e-9 && at.north <= 40 + 1e-9 && at.east <= at.north + 1e-9) << i; // the triangle
        EXPECT_LE(std::fabs(at.north - at.east) / std::sqrt(2.0), 14.1422) << i;                   // the chord
        EXPECT_GT(heading, last) << i;
        last = heading;
    }
    const GeoPoint end = lf_fromLocalFrame(kOrigin, {40, 40});
    EXPECT_NEAR(p.lat, end.lat, 1e-9);
    EXPECT_NEAR(p.lon, end.lon, 1e-9);
    EXPECT_NEAR(heading, gf_initialBearing(lf_fromLocalFrame(kOrigin, {0, 40}), end), 0.05 * kDegToRad);
    ASSERT_TRUE(gf_pointOnCurve(curve, p, heading, 0.5));
    EXPECT_NEAR(lf_toLocalFrame(kOrigin, p).east, 10.0, 1e-9);
    EXPECT_NEAR(lf_toLocalFrame(kOrigin, p).north, 30.0, 1e-9);
    EXPECT_FALSE(gf_pointOnCurve(curve, p, heading, -0.1) || gf_pointOnCurve(curve, p, heading, 1.1));
    const CurveView none{kOrigin, {std::numeric_limits<double>::quiet_NaN(), 40.0}, {40, 40}, 0.0, 1.0};
    EXPECT_FALSE(gf_pointOnCurve(none, p, heading, 0.5));
    // Across the antimeridian the offsets go the short way.
    EXPECT_NEAR(lf_toLocalFrame({0.0, 179.9995}, {0.0, -179.9995}).east, 0.001 * 111132.95, 1e-6);
}

TEST(GroundCurve, HeadingsTurnTheShorterWayAndPositionsStayOnTheGlobe) {
    const struct {
        double from, to, expected; // degrees; a rate of 1 degree a pass
    } turns[] = {{350, 10, 351}, {10, 350, 9}, {90, 270, 89}, {200, 20, 201}, {10, 10.3, 10}, {10, 10.8, 10.8}};
    for (const auto& t : turns) {
        EXPECT_NEAR(lf_turnToward(t.from * kDegToRad, t.to * kDegToRad, kDegToRad) * kRadToDeg, t.expected, 1e-9)
            << t.from << " -> " << t.to;
    }
    const struct {
        GeoPoint in, out;
    } points[] = {{{0, 180.5}, {0, -179.5}}, {{0, -180.5}, {0, 179.5}}, {{90.5, 10}, {89.5, -170}},
                  {{-90.5, -170}, {-89.5, 10}}};
    for (const auto& c : points) {
        GeoPoint p = c.in;
        lf_normalisePosition(p);
        EXPECT_NEAR(p.lat, c.out.lat, 1e-9);
        EXPECT_NEAR(p.lon, c.out.lon, 1e-9);
    }
}

TEST(GroundCurve, ATurnIsTimedToFitItsSegment) {
    EXPECT_EQ(lf_travelPasses(0.1, 10), 3600);
    EXPECT_EQ(lf_travelPasses(0.0005, 10), 25);
    const struct {
        double turnRateDeg;
        int passes; // of a 90 degree turn
    } kinds[] = {{0.07, 737}, {0.15, 344}, {0.10, 516}, {0.05, 1031}, {0.20, 258}};
    for (const auto& k : kinds) {
        EXPECT_EQ(lf_turnPasses(90, k.turnRateDeg * kDegToRad), k.passes) << k.turnRateDeg;
    }
    const struct {
        double angle, travel, metres, rateDeg;
        bool wide;
    } timings[] = {{90, 1494, 30, 0.14190, true}, {10, 1000, 100, 0.019134, false}, {30, 100, 10, 0.17220, false}};
    for (const auto& t : timings) {
        const TurnTiming timing = lf_turnTiming(t.angle, t.travel, t.metres, 0.07 * kDegToRad);
        EXPECT_NEAR(timing.turnRate * kRadToDeg, t.rateDeg, 5e-6) << t.angle;
        EXPECT_EQ(timing.wideWindows, t.wide) << t.angle;
    }
}

} // namespace
} // namespace zeph
