#include <cmath>
#include <limits>

#include <gtest/gtest.h>

#include "traffic/ground_curve.h"

namespace zeph {
namespace {

constexpr GeoPoint kOrigin{47.0, 8.0};

// Control point 40 m north, end 40 m north and 40 m east: inside the triangle, within 14.142 m of the chord,
// its heading growing from the first leg's bearing to the second's.
TEST(GroundCurve, ATaxiTurnIsOneBezierCurveThroughTheFrame) {
    const CurveView curve{kOrigin, {0.0, 40.0}, {40.0, 40.0}, 0.0, 1.0};
    const GeoPoint corner = lf_fromLocalFrame(kOrigin, {0, 40}), end = lf_fromLocalFrame(kOrigin, {40, 40});
    GeoPoint p;
    double heading = 0.0, last = -1.0;
    for (int i = 0; i <= 1000; ++i) {
        ASSERT_TRUE(gf_pointOnCurve(curve, p, heading, i / 1000.0));
        const LocalOffset at = lf_toLocalFrame(kOrigin, p);
        EXPECT_TRUE(at.east >= -1e-9 && at.north <= 40 + 1e-9 && at.east <= at.north + 1e-9) << i;
        EXPECT_LE(std::fabs(at.north - at.east) / std::sqrt(2.0), 14.1422) << i;
        EXPECT_GT(heading, last) << i;
        last = heading;
        if (i == 0) {
            EXPECT_TRUE(p.lat == kOrigin.lat && p.lon == kOrigin.lon);
            EXPECT_NEAR(heading, gf_initialBearing(kOrigin, corner), 0.05 * kDegToRad);
        } else if (i == 500) {
            EXPECT_TRUE(std::fabs(at.east - 10.0) < 1e-9 && std::fabs(at.north - 30.0) < 1e-9);
        }
    }
    EXPECT_TRUE(std::fabs(p.lat - end.lat) < 1e-9 && std::fabs(p.lon - end.lon) < 1e-9);
    EXPECT_NEAR(heading, gf_initialBearing(corner, end), 0.05 * kDegToRad);
    const CurveView none{kOrigin, {std::numeric_limits<double>::quiet_NaN(), 40.0}, {40, 40}, 0.0, 1.0};
    EXPECT_FALSE(gf_pointOnCurve(curve, p, heading, -0.1) || gf_pointOnCurve(curve, p, heading, 1.1) ||
                 gf_pointOnCurve(none, p, heading, 0.5));
}

TEST(GroundCurve, HeadingsTurnTheShorterWayAndPositionsStayOnTheGlobe) {
    // From, to, expected after one pass at 1 degree a pass.
    for (const auto& [from, to, expected] : {std::tuple{350.0, 10.0, 351.0},
                                             {10.0, 350.0, 9.0},
                                             {90.0, 270.0, 89.0},
                                             {200.0, 20.0, 201.0},
                                             {10.0, 10.3, 10.0},
                                             {10.0, 10.8, 10.8}}) {
        EXPECT_NEAR(lf_turnToward(from * kDegToRad, to * kDegToRad, kDegToRad) * kRadToDeg, expected, 1e-9)
            << from;
    }
    for (const auto& [lat, lon, wantLat, wantLon] : {std::tuple{0.0, 180.5, 0.0, -179.5},
                                                     {0.0, -180.5, 0.0, 179.5},
                                                     {90.5, 10.0, 89.5, -170.0},
                                                     {-90.5, -170.0, -89.5, 10.0}}) {
        GeoPoint p{lat, lon};
        lf_normalisePosition(p);
        EXPECT_TRUE(std::fabs(p.lat - wantLat) < 1e-9 && std::fabs(p.lon - wantLon) < 1e-9)
            << lat << "," << lon;
    }
}

// The angle in degrees over a rate in radians: a "unit fix" fails every row.
TEST(GroundCurve, ATurnIsTimedToFitItsSegment) {
    for (const auto& [rateDeg, passes] :
         {std::pair{0.07, 737}, {0.15, 344}, {0.10, 516}, {0.05, 1031}, {0.20, 258}}) {
        EXPECT_EQ(lf_turnPasses(90, rateDeg * kDegToRad), passes) << rateDeg;
    }
    for (const auto& [angle, travel, metres, rateDeg, wide] : {std::tuple{90.0, 1494.0, 30.0, 0.14190, true},
                                                               {10.0, 1000.0, 100.0, 0.019134, false},
                                                               {30.0, 100.0, 10.0, 0.17220, false},
                                                               {90.0, 300.0, 30.0, 0.17197, true},
                                                               {60.0, 200.0, 30.0, 0.17185, false}}) {
        const TurnTiming timing = lf_turnTiming(angle, travel, metres, 0.07 * kDegToRad);
        EXPECT_TRUE(std::fabs(timing.turnRate * kRadToDeg - rateDeg) < 5e-6 && timing.wideWindows == wide)
            << angle;
    }
}

} // namespace
} // namespace zeph
