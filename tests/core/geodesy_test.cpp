#include "core/geodesy.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <string>
#include <vector>

namespace zeph {
namespace {

constexpr double kPi = std::numbers::pi;
constexpr double kFeetPerNm = 6076.11549;

std::string describe(const GeoPoint& p) {
    return "(" + std::to_string(p.lat) + ", " + std::to_string(p.lon) + ")";
}

TEST(GeodesyDistance, KnownDistancesInNauticalMiles) {
    struct Case {
        const char* name;
        GeoPoint a;
        GeoPoint b;
        double expectedNm;
        double tolerance;
    };
    const std::vector<Case> cases = {
        {"point to itself", {51.47, -0.4543}, {51.47, -0.4543}, 0.0, 0.0},
        {"one degree of longitude on the equator", {0, 0}, {0, 1}, 60.0, 1e-9},
        {"one degree of latitude", {0, 0}, {1, 0}, 60.0, 1e-9},
        {"one degree of latitude, reversed", {1, 0}, {0, 0}, 60.0, 1e-9},
        {"across the date line", {0, 179.5}, {0, -179.5}, 60.0, 1e-9},
        {"quarter of the equator", {0, 0}, {0, 90}, 5400.0, 1e-6},
        {"pole to pole", {90, 0}, {-90, 0}, 10800.0, 1e-6},
        {"nearly opposite points over the pole", {-87.5, 0}, {87.5, 180}, 10800.0, 1e-6},
        {"opposite points on the equator", {0, 0}, {0, 180}, 10800.0, 1e-6},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const double nm = gf_greatCircleDistance(c.a, c.b);
        ASSERT_FALSE(std::isnan(nm)) << describe(c.a) << " to " << describe(c.b);
        EXPECT_NEAR(nm, c.expectedNm, c.tolerance) << describe(c.a) << " to " << describe(c.b);
        // The quick test answers as the distance itself, also a hair either side of it.
        for (const double limit : {nm * (1 - 1e-12), nm, nm * (1 + 1e-12), nm + 1.0, nm * 2.0, nm / 2.0}) {
            EXPECT_EQ(gf_withinDistance(c.a, c.b, limit), nm <= limit) << "within " << limit;
        }
    }
}

TEST(GeodesyBearing, BearingsToTheFourNeighbours) {
    struct Case {
        const char* name;
        GeoPoint to;
        double expected;
    };
    const std::vector<Case> cases = {
        {"north", {1, 0}, 0.0},
        {"east", {0, 1}, kPi / 2},
        {"south", {-1, 0}, kPi},
        {"west, a negative angle turned positive", {0, -1}, 3 * kPi / 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const double bearing = gf_initialBearing({0, 0}, c.to);
        EXPECT_NEAR(bearing, c.expected, 1e-12) << "to " << describe(c.to);
        EXPECT_GE(bearing, 0.0);
        EXPECT_LT(bearing, 2 * kPi);
    }
}

TEST(GeodesyDestination, KnownDestinations) {
    struct Case {
        const char* name;
        GeoPoint start;
        double bearing;
        double feet;
        GeoPoint expected;
        double tolerance;
    };
    const std::vector<Case> cases = {
        // 60761 feet is ten miles, a sixth of a degree: 179.9 + 1/6 wraps to -179.9333, not 180.0667.
        {"east across the date line", {0, 179.9}, kPi / 2, 60761, {0, 179.9 + 10.0 / 60 - 360}, 1e-5},
        {"west across the date line", {0, -179.9}, 3 * kPi / 2, 60761, {0, -179.9 - 10.0 / 60 + 360}, 1e-5},
        {"distance 0 returns the start", {47.4647, 8.5492}, 1.234, 0, {47.4647, 8.5492}, 1e-12},
        {"distance 0 normalises the longitude", {10, 190}, 0, 0, {10, -170}, 1e-12},
        {"ten miles north", {0, 0}, 0, 10 * kFeetPerNm, {10.0 / 60, 0}, 1e-9},
        {"ten miles south", {0, 0}, kPi, 10 * kFeetPerNm, {-10.0 / 60, 0}, 1e-9},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const GeoPoint p = gf_destinationPoint(c.start, c.bearing, c.feet);
        EXPECT_NEAR(p.lat, c.expected.lat, c.tolerance) << "reached " << describe(p);
        EXPECT_NEAR(p.lon, c.expected.lon, c.tolerance) << "reached " << describe(p);
    }
}

TEST(GeodesyDestination, ReachingThePoleGivesALatitudeNotNaN) {
    // These values make the sine of the new latitude round just below -1 on the way to the south pole.
    const GeoPoint start{-89.481016653343758, 0};
    const GeoPoint p = gf_destinationPoint(start, 3.1415926535897931, 189204.23192036976);
    ASSERT_FALSE(std::isnan(p.lat));
    ASSERT_FALSE(std::isnan(p.lon));
    EXPECT_NEAR(p.lat, -90.0, 1e-6);
}

TEST(GeodesyDestination, AgreesWithDistanceAndBearing) {
    struct Case {
        const char* name;
        GeoPoint start;
        double bearing;
        double nm;
    };
    const std::vector<Case> cases = {
        {"short hop north-east", {51.47, -0.45}, 0.8, 3.5},
        {"long leg south-west", {40.64, -73.78}, 3.9, 1500},
        {"southern hemisphere west", {-33.95, 151.18}, 4.7, 250},
        {"across the date line", {21.3, 179.0}, 1.2, 400},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const GeoPoint p = gf_destinationPoint(c.start, c.bearing, c.nm * kFeetPerNm);
        EXPECT_NEAR(gf_greatCircleDistance(c.start, p), c.nm, 1e-6) << "reached " << describe(p);
        EXPECT_NEAR(gf_initialBearing(c.start, p), c.bearing, 1e-9) << "reached " << describe(p);
        EXPECT_GE(p.lon, -180.0);
        EXPECT_LE(p.lon, 180.0);
    }
}

} // namespace
} // namespace zeph
