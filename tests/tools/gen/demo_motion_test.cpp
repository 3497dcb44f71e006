#include <cmath>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "gen/demo/local_frame.h"
#include "gen/demo/reports.h"

namespace {

using zeph::gen::GeoDegrees;
using zeph::gen::Leg;
using zeph::gen::LegKind;
using zeph::gen::LocalFrame;
using zeph::gen::LocalPoint;
using zeph::gen::reportsOf;

const LocalFrame kFrame({50.0333, 8.5706}, 70);

TEST(DemoMotion, FrameRoundTripsAndKnowsItsBearings) {
    struct Case {
        LocalPoint point;
        double bearing; // of the direction from the origin to the point
    };
    for (const Case& c :
         std::vector<Case>{{{900, 0}, 70}, {{0, 300}, 340}, {{0, -300}, 160}, {{-600, 0}, 250}}) {
        const GeoDegrees geo = kFrame.toGeo(c.point);
        const LocalPoint back = kFrame.toLocal(geo);
        EXPECT_NEAR(back.x, c.point.x, 1e-6) << c.bearing;
        EXPECT_NEAR(back.y, c.point.y, 1e-6) << c.bearing;
        EXPECT_NEAR(kFrame.bearingOf(c.point.x, c.point.y), c.bearing, 1e-9);
    }
    // 900 m towards 070 lies north-east of the origin: both degrees grow.
    EXPECT_GT(kFrame.toGeo({900, 0}).lat, 50.0333);
    EXPECT_GT(kFrame.toGeo({900, 0}).lon, 8.5706);
}

Leg leg(LegKind kind, double from, double to, std::vector<LocalPoint> path) {
    Leg l;
    l.kind = kind;
    l.from = from;
    l.to = to;
    l.path = std::move(path);
    return l;
}

TEST(DemoMotion, LegsGiveReportsAtTheirPace) {
    Leg parked = leg(LegKind::Parked, 2, 56, {{660, 0}});
    parked.headingDeg = 340;
    Leg push = leg(LegKind::Push, 58, 82, {{660, 0}, {660, -50}});
    push.pushHeadings = {{340, 60}};
    Leg straight = leg(LegKind::Push, 82, 100, {{720, 0}, {720, -50}});
    straight.trueHeading = false;
    straight.track = false;
    Leg roll = leg(LegKind::Roll, 152, 185, {{1200, -300}, {0, -300}});
    roll.speedToKt = 150;
    Leg air = leg(LegKind::Air, 185, 210, {{-73, -300}, {-2173, -300}});
    air.alts = {364, 1114};
    struct Case {
        const char* name;
        Leg leg;
        std::size_t count;
        LocalPoint last;
        double lastSpeedKt;
        double lastAltFt;
        std::optional<double> lastTrack;
        std::optional<double> lastHeading;
    };
    const std::vector<Case> cases = {
        {"parked every 10 s, the end too", parked, 7, {660, 0}, 0, 364, 340, 340},
        {"push turns the nose the short way", push, 9, {660, -50}, 4.05, 364, 160, 60},
        {"push without heading or track", straight, 7, {720, -50}, 5.4, 364, std::nullopt, std::nullopt},
        {"roll accelerates along the runway", roll, 12, {1200 - 1273.3, -300}, 150, 364, 250, 250},
        {"air climbs every 4 s", air, 8, {-2173, -300}, 163.3, 1114, 250, 250},
    };
    for (const Case& c : cases) {
        const std::vector<zeph::gen::Report> reports = reportsOf({c.leg}, kFrame, 364);
        ASSERT_EQ(reports.size(), c.count) << c.name;
        const zeph::gen::Report& last = reports.back();
        EXPECT_EQ(last.at, c.leg.to) << c.name;
        EXPECT_NEAR(last.where.x, c.last.x, 0.5) << c.name;
        EXPECT_NEAR(last.where.y, c.last.y, 0.5) << c.name;
        EXPECT_NEAR(last.speedKt, c.lastSpeedKt, 0.1) << c.name;
        EXPECT_NEAR(last.altFt, c.lastAltFt, 0.5) << c.name;
        EXPECT_EQ(last.trackDeg.has_value(), c.lastTrack.has_value()) << c.name;
        EXPECT_EQ(last.trueHeadingDeg.has_value(), c.lastHeading.has_value()) << c.name;
        if (c.lastTrack && last.trackDeg) {
            EXPECT_NEAR(*last.trackDeg, *c.lastTrack, 0.01) << c.name;
        }
        if (c.lastHeading && last.trueHeadingDeg) {
            EXPECT_NEAR(*last.trueHeadingDeg, *c.lastHeading, 0.01) << c.name;
        }
    }
    EXPECT_NEAR(reportsOf({air}, kFrame, 364).front().verticalFpm, 1800, 0.5);
}

} // namespace
