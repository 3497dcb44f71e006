// Automatic traffic: aircraft circling the user position the program reports.
#include "rtfeed/auto_traffic.h"

#include <cmath>
#include <numbers>
#include <set>
#include <thread>

#include <fmt/format.h>
#include <gtest/gtest.h>

#include "rtfeed/rt_feed.h"
#include "support/slow_factor.h"
#include "tools/rtfeed/test_sockets.h"

namespace zeph::rtfeed {
namespace {

using namespace std::chrono_literals;
using test::kLivenessBound;
using test::splitFields;

double distanceNm(double lat1, double lon1, double lat2, double lon2) {
    constexpr double kRad = std::numbers::pi / 180.0;
    const double a =
        std::pow(std::sin((lat2 - lat1) * kRad / 2), 2) +
        std::cos(lat1 * kRad) * std::cos(lat2 * kRad) * std::pow(std::sin((lon2 - lon1) * kRad / 2), 2);
    return 2 * 3440.065 * std::asin(std::sqrt(a));
}

// Checks one automatic traffic datagram against the user position; returns its hexid.
unsigned checkAutoLine(const std::string& datagram, double userLat, double userLon, double utc) {
    const std::vector<std::string> f = splitFields(datagram);
    EXPECT_EQ(f.size(), 29u) << datagram;
    if (f.size() != 29u) {
        return 0;
    }
    const unsigned hexid = static_cast<unsigned>(std::stoul(f[1]));
    EXPECT_GE(hexid, kFirstAutoHexid) << datagram;
    EXPECT_EQ(f[9], fmt::format("FEED{:03}", hexid - kFirstAutoHexid + 1)) << datagram;
    const double distance = distanceNm(userLat, userLon, std::stod(f[2]), std::stod(f[3]));
    EXPECT_GE(distance, 0.98) << datagram;
    EXPECT_LE(distance, 4.02) << datagram;
    const double altitude = std::stod(f[4]);
    EXPECT_GE(altitude, 3000) << datagram;
    EXPECT_LE(altitude, 9000) << datagram;
    const double speed = std::stod(f[8]);
    EXPECT_GE(speed, 160) << datagram;
    EXPECT_LE(speed, 250) << datagram;
    EXPECT_NEAR(std::stod(f[14]), utc, 60) << datagram;
    EXPECT_EQ(f[10], "B738") << datagram;
    EXPECT_FALSE(f[11].empty()) << datagram;
    EXPECT_LE(f[11].size(), 12u) << datagram;
    return hexid;
}

RtFeedOptions onPorts(std::uint16_t trafficPort, std::uint16_t tcpPort) {
    RtFeedOptions options;
    options.trafficPort = trafficPort;
    options.tcpPort = tcpPort;
    return options;
}

TEST(AutoTraffic, AircraftCircleTheUserWithinTheirBands) {
    const struct {
        double lat;
        double lon;
    } users[] = {{52.0, 4.5}, {-33.9, 151.2}, {0.0, 179.99}, {65.0, -179.99}};
    for (const auto& user : users) {
        SCOPED_TRACE(fmt::format("user at {}, {}", user.lat, user.lon));
        PositionReport position;
        position.latitude = user.lat;
        position.longitude = user.lon;
        for (double elapsed : {0.0, 37.0, 3600.0}) {
            const std::vector<TrafficLine> lines = autoTrafficLines(8, position, elapsed, 1733560000.0);
            ASSERT_EQ(lines.size(), 8u);
            std::set<std::string> places;
            for (std::size_t k = 0; k < lines.size(); ++k) {
                const std::string datagram = lines[k].toDatagram();
                EXPECT_EQ(checkAutoLine(datagram, user.lat, user.lon, 1733560000.0), kFirstAutoHexid + k);
                places.insert(splitFields(datagram)[2] + "," + splitFields(datagram)[3]);
                EXPECT_GE(lines[k].longitude, -180.0);
                EXPECT_LE(lines[k].longitude, 180.0);
            }
            EXPECT_EQ(places.size(), 8u) << "every aircraft has a place of its own";
        }
    }
}

TEST(AutoTraffic, AircraftMoveAlongTheirTrack) {
    PositionReport user;
    user.latitude = 52.0;
    user.longitude = 4.5;
    const TrafficLine before = autoTrafficLines(1, user, 0, 0)[0];
    const TrafficLine after = autoTrafficLines(1, user, 10, 0)[0];
    const double moved = distanceNm(before.latitude, before.longitude, after.latitude, after.longitude);
    EXPECT_NEAR(moved, before.groundSpeed * 10 / 3600, 0.01) << "ten seconds at its speed";
}

TEST(AutoTrafficThreads, NothingBeforeThePositionThenRoundsAroundIt) {
    test::UdpCollector traffic;
    test::TestTcpServer server;
    RtFeed feed(onPorts(traffic.port(), server.port()));
    ASSERT_TRUE(feed.connect(kLivenessBound));
    const SocketFd peer = server.accept(kLivenessBound);
    ASSERT_TRUE(peer.valid());

    feed.startAutoTraffic(3, 100ms);
    EXPECT_EQ(traffic.next(300ms), std::nullopt) << "no position yet";

    test::writeBytes(peer, "Qs121=0;0;0.000000;35000000;450000;0.907571;0.078540\r\n");
    std::multiset<unsigned> hexids;
    for (int k = 0; k < 6; ++k) {
        const auto datagram = traffic.next(kLivenessBound);
        ASSERT_TRUE(datagram.has_value()) << "datagram " << k;
        hexids.insert(checkAutoLine(*datagram, 52.0, 4.5, utcSecondsNow()));
    }
    EXPECT_EQ(hexids, (std::multiset<unsigned>{5000001, 5000001, 5000002, 5000002, 5000003, 5000003}))
        << "two rounds of three aircraft";

    feed.stopAutoTraffic();
    while (traffic.next(50ms)) {
    }
    EXPECT_EQ(traffic.next(300ms), std::nullopt) << "stopped";
}

TEST(AutoTrafficThreads, ASecondStartReplacesTheFirst) {
    test::UdpCollector traffic;
    test::TestTcpServer server;
    RtFeed feed(onPorts(traffic.port(), server.port()));
    ASSERT_TRUE(feed.connect(kLivenessBound));
    const SocketFd peer = server.accept(kLivenessBound);
    test::writeBytes(peer, "Qs121=0;0;0;0;0;0.907571;0.078540\r\n");
    ASSERT_TRUE(feed.waitForLine("Qs121", kLivenessBound));

    feed.startAutoTraffic(5, 100ms);
    ASSERT_TRUE(traffic.next(kLivenessBound)) << "the first start runs";
    feed.startAutoTraffic(1, 100ms);
    // The first start's rounds may still be queued; after them come only the second start's single aircraft.
    int singles = 0;
    while (singles < 5) {
        const auto datagram = traffic.next(kLivenessBound);
        ASSERT_TRUE(datagram.has_value());
        singles = checkAutoLine(*datagram, 52.0, 4.5, utcSecondsNow()) == kFirstAutoHexid ? singles + 1 : 0;
    }
    feed.stopAutoTraffic();
    feed.stopAutoTraffic();
}

} // namespace
} // namespace zeph::rtfeed
