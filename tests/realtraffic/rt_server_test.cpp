#include "model/sim_records.h"
#include "realtraffic/rt_server.h"

#include <algorithm>
#include <chrono>
#include <limits>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include <sys/socket.h>

#include <gtest/gtest.h>

#include "app/startup_thread.h"
#include "core/run_flags.h"
#include "platform/sockets.h"
#include "platform/tcp_connect.h"
#include "realtraffic/traffic_reader.h"
#include "rtfeed/rt_feed.h"
#include "sim/ai_objects.h"
#include "sim/user_aircraft.h"
#include "state/exit_reason.h"
#include "state/main_window_state.h"
#include "support/free_port.h"
#include "support/log_fixture.h"
#include "support/slow_factor.h"
#include "traffic/live_table_services.h"
#include "traffic/traffic_tables.h"

namespace zeph {
namespace {

using namespace std::chrono_literals;
using rtfeed::ReplyMode;
using Clock = std::chrono::steady_clock;

std::chrono::milliseconds scaled(std::chrono::milliseconds bound) {
    return std::chrono::milliseconds(
        static_cast<long long>(static_cast<double>(bound.count()) * test::kSlowFactor));
}

void setUserPosition(double latitude, double longitude) {
    const std::lock_guard lock(userDataMutex);
    userAcPosition = UserAcPosition{};
    userAcPosition.latitude = latitude;
    userAcPosition.longitude = longitude;
}

// The server on a free loopback port, RealTraffic counted as on this PC, status calls recorded.
class RtServerTest : public test::LogFixture {
protected:
    void SetUp() override {
        LogFixture::SetUp();
        realTrafficOnThisPc.store(true);
        rtProfessional.store(false);
        realTrafficAwaited.store(true);
        mainWindowState.setRealTrafficVersionText("");
        mainWindowState.realTrafficConnected.store(false);
        setUserPosition(0.0, 0.0);
        // As the program does at start: RealTraffic's going takes the live traffic out.
        setLiveTrafficRemoval(&lf_takeLiveTrafficOut);
        port_ = test::freeLoopbackPort();
        gf_startRTServer(std::to_string(port_));
    }

    void TearDown() override {
        gf_closeRealTrafficSockets();
        setLiveTrafficRemoval(nullptr);
        userStopped.store(false);
        runStopping.store(false);
        liveAcTable.clear();
        liveAddQueue.clear();
        LogFixture::TearDown();
    }

    rtfeed::RtFeedOptions feedOptions(ReplyMode mode, std::string custom = {}) const {
        rtfeed::RtFeedOptions options;
        options.tcpPort = port_;
        options.reply = mode;
        options.customReply = std::move(custom);
        return options;
    }

    // The log lines from line number from on.
    std::vector<std::string> logFrom(std::size_t from) const {
        const auto lines = readLog();
        return {lines.begin() + static_cast<std::ptrdiff_t>(std::min(from, lines.size())), lines.end()};
    }

    static std::string statusText() {
        const std::lock_guard lock(mainWindowState.statusMutex);
        return mainWindowState.statusText;
    }

    std::uint16_t port_ = 0;
};

TEST_F(RtServerTest, TheVersionReplyGivesTheEdition) {
    const std::string prof = "RT prof edition: 9.0.1";
    const std::string noVersion = "No RealTraffic version received?";
    struct Case {
        const char* name;
        ReplyMode mode;
        std::string custom;
        bool professional;
        std::string text;
        std::string logPrefix; // a line the log must have; empty: nothing about the reply is logged
        bool noVersionStatus;
    };
    const Case cases[] = {
        {"professional", ReplyMode::Professional, "", true, prof, "", false},
        {"standard", ReplyMode::Standard, "", false, "RT stnd edition: 8.0", "", false},
        {"array", ReplyMode::Array, "", false, "", "", false},
        {"number", ReplyMode::Number, "", false, "", "", false},
        {"garbage", ReplyMode::Garbage, "", false, "", "lf_processRTVersion: JSON parse failed: ", false},
        {"split in two writes", ReplyMode::Split, "", true, prof, "", false},
        {"closed without an answer", ReplyMode::CloseWithoutAnswer, "", false, "", "", true},
        {"level as text", ReplyMode::Custom, R"({"level":"2","version":"9"})", false, "",
         "lf_processRTVersion: JSON parse failed: ", false},
        {"16 KB reply", ReplyMode::Custom, "[" + std::string(20000, ' ') + "]", false, "",
         "receive: buffer overrun: 16384", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        gf_closeRealTrafficSockets();
        gf_startRTServer(std::to_string(port_));
        rtProfessional.store(!c.professional);
        mainWindowState.setRealTrafficVersionText("old");
        const std::size_t logBefore = readLog().size();
        rtfeed::RtFeed feed(feedOptions(c.mode, c.custom));
        ASSERT_TRUE(feed.connect(test::kLivenessBound));

        lf_waitForRealTraffic();

        ASSERT_TRUE(feed.waitForLine("Qs999", test::kLivenessBound));
        const auto sent = feed.lines();
        ASSERT_EQ(sent.size(), 1U);
        EXPECT_EQ(sent[0].text, "Qs999=version");
        EXPECT_EQ(rtProfessional.load(), c.professional);
        if (!c.noVersionStatus) {
            EXPECT_EQ(mainWindowState.displayTexts().realTrafficVersionText, c.text);
        }
        const auto added = logFrom(logBefore);
        EXPECT_EQ(std::find(added.begin(), added.end(), noVersion) != added.end(), c.noVersionStatus);
        const bool logged = std::any_of(added.begin(), added.end(), [&](const std::string& line) {
            return !c.logPrefix.empty() && line.starts_with(c.logPrefix);
        });
        EXPECT_EQ(logged, !c.logPrefix.empty());
        const bool aboutTheReply = std::any_of(added.begin(), added.end(), [](const std::string& line) {
            return line.starts_with("lf_processRTVersion") || line.starts_with("receive:");
        });
        EXPECT_EQ(aboutTheReply, !c.logPrefix.empty());
        EXPECT_TRUE(mainWindowState.realTrafficConnected.load());
        EXPECT_FALSE(realTrafficAwaited.load());
        EXPECT_TRUE(std::find(added.begin(), added.end(), "RealTraffic connected") != added.end());
    }
}

TEST_F(RtServerTest, ASilentClientCostsAtMostTheReplyBound) {
    struct Case {
        const char* name;
        bool userStoppedFirst;
        std::chrono::milliseconds bound;
    };
    const Case cases[] = {
        {"the 5 s bound ends the wait", false, scaled(10s)},
        {"a stop ends it at once", true, test::kLivenessBound},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        gf_closeRealTrafficSockets();
        gf_startRTServer(std::to_string(port_));
        rtfeed::RtFeed feed(feedOptions(ReplyMode::NeverAnswer));
        ASSERT_TRUE(feed.connect(test::kLivenessBound));
        ASSERT_TRUE(waitForClient());
        ASSERT_TRUE(sendDataPacket("Qs999=version\r\n"));
        userStopped.store(c.userStoppedFirst);
        const auto start = Clock::now();

        EXPECT_EQ(gf_receiveFromRT(), "");

        EXPECT_LT(Clock::now() - start, c.bound);
        userStopped.store(false);
    }
}

TEST_F(RtServerTest, TheCommandLines) {
    struct Case {
        const char* name;
        UserAcPosition position;
        std::string line;
    };
    UserAcPosition example;
    example.pitch = 0.05;
    example.bank = -0.1;
    example.heading = 1.5707963;
    example.altitude = 35000;
    example.groundVelocity = 450;
    example.latitude = 52;
    example.longitude = 4.5;
    UserAcPosition odd = example;
    odd.groundVelocity = 251.2345;
    const Case cases[] = {
        {"the example", example, "Qs121=5000;-10000;1.570796;35000000;450000;0.907571;0.078540\r\n"},
        {"a speed with a fraction", odd,
         "Qs121=5000;-10000;1.570796;35000000;251234.5;0.907571;0.078540\r\n"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(lf_positionLine(c.position), c.line) << c.name;
    }

    rtfeed::RtFeed feed(feedOptions(ReplyMode::Professional));
    ASSERT_TRUE(feed.connect(test::kLivenessBound));
    ASSERT_TRUE(waitForClient());
    lf_sendSimTime(0);
    lf_sendSimTime(std::numeric_limits<std::int64_t>::max()); // its milliseconds would not fit
    lf_sendSimTime(2);
    ASSERT_TRUE(feed.waitForLine("Qs123", test::kLivenessBound));
    ASSERT_EQ(feed.lines().size(), 1U) << "0 s and a time beyond 64-bit milliseconds send nothing";
    EXPECT_EQ(feed.lines()[0].text, "Qs123=2000");
}

TEST_F(RtServerTest, NoPositionNoListenerAndAerowinxSendNothing) {
    struct Case {
        const char* name;
        bool listener;
        double latitude;
    };
    const Case cases[] = {
        {"position still 0,0 with a client waiting", true, 0.0},
        {"no listener (AEROWINX)", false, 52.0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        gf_closeRealTrafficSockets();
        if (c.listener) {
            gf_startRTServer(std::to_string(port_));
        }
        setUserPosition(c.latitude, 0.0);
        rtfeed::RtFeed feed(feedOptions(ReplyMode::Professional));
        if (c.listener) {
            ASSERT_TRUE(feed.connect(test::kLivenessBound));
        }
        const auto start = Clock::now();

        lf_sendUserPosition();

        EXPECT_LT(Clock::now() - start, test::kLivenessBound);
        EXPECT_FALSE(rtClientConnected.load()) << "no accept";
        EXPECT_FALSE(feed.waitForLine("", 300ms));
    }
}

TEST_F(RtServerTest, RealTrafficLostAndBack) {
    struct Case {
        const char* name;
        bool userStopping;
        int closedFirst; // connections closed before RealTraffic comes back: skipped, logged in one line
        bool reset;      // closed with an RST (linger 0) instead of a FIN
        ReplyMode first = ReplyMode::Professional; // the reply to the run's first version question
        ReplyMode back = ReplyMode::NeverAnswer;   // the reply of the RealTraffic that comes back
        bool askedAgain = false;
    };
    const Case cases[] = {
        {"running, a silent RealTraffic back", false, 0, false},
        {"the user stops", true, 0, false},
        {"1 closed connection first", false, 1, false},
        {"50 closed connections first", false, 50, false},
        {"500 closed connections first", false, 500, false},
        {"1 reset connection first", false, 1, true},
        {"the first reply unreadable: asked again", false, 0, false, ReplyMode::Garbage,
         ReplyMode::Professional, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        gf_closeRealTrafficSockets();
        gf_startRTServer(std::to_string(port_));
        setUserPosition(52.0, 4.5);
        liveAcTable.clear();
        liveAddQueue.clear();
        std::uint32_t nextHexid = kLastStaticHexid;
        const auto live = [&nextHexid](const char* callsign, AcState state) {
            LiveAc aircraft;
            aircraft.hexid = ++nextHexid;
            aircraft.callsign = callsign;
            aircraft.state = state;
            aircraft.objectId = 7;
            return aircraft;
        };
        liveAcTable = {live("ACT1", AcState::active), live("QUEUED1", AcState::adding2sim),
                       live("HANDED1", AcState::adding2sim), live("BUF1", AcState::buffer)};
        AiCreateRequest request;
        request.callsign = "QUEUED1";
        request.hexid = liveAcTable[1].hexid;
        liveAddQueue.push_back(request);
        const std::size_t logBefore = readLog().size();
        rtfeed::RtFeed feed(feedOptions(c.first));
        ASSERT_TRUE(feed.connect(test::kLivenessBound));
        lf_waitForRealTraffic();
        ASSERT_TRUE(rtClientConnected.load());
        trafficReader.setLastReportTime(1733560000.0);
        lf_sendUserPosition();
        ASSERT_TRUE(feed.waitForLine("Qs121", test::kLivenessBound));
        feed.disconnect();
        userStopped.store(c.userStopping);

        const auto deadline = Clock::now() + scaled(3s);
        while (rtClientConnected.load() && Clock::now() < deadline) {
            lf_sendUserPosition();
            std::this_thread::sleep_for(100ms);
        }

        ASSERT_FALSE(rtClientConnected.load());
        const bool logged = !c.userStopping;
        const auto added = logFrom(logBefore);
        const auto has = [&](const std::string& line) {
            return std::find(added.begin(), added.end(), line) != added.end();
        };
        EXPECT_EQ(has("sendDataPacket to RealTraffic failed: 10054 Connection reset by peer"), logged);
        EXPECT_EQ(has("RealTraffic client socket closed"), logged);
        EXPECT_TRUE(statusText().ends_with(" RealTraffic gone? Wait for RealTraffic to re-connect ..."));
        EXPECT_EQ(trafficReader.lastReportTime(), 0.0) << "readers reset";
        EXPECT_FALSE(mainWindowState.realTrafficConnected.load());
        std::vector<std::string> left;
        for (const LiveAc& aircraft : liveAcTable) {
            left.push_back(aircraft.callsign);
        }
        if (c.userStopping) {
            EXPECT_EQ(left.size(), 4U) << "untouched";
            EXPECT_EQ(liveAcTable[0].state, AcState::active);
            EXPECT_EQ(liveAddQueue.size(), 1U);
            userStopped.store(false);
            continue;
        }
        EXPECT_EQ(left, (std::vector<std::string>{"ACT1", "HANDED1", "BUF1"}));
        EXPECT_EQ(liveAcTable[0].state, AcState::removingfromsim);
        EXPECT_EQ(liveAcTable[1].gone, 1U);
        EXPECT_EQ(liveAcTable[2].state, AcState::buffer);
        EXPECT_TRUE(liveAddQueue.empty());

        for (int i = 0; i < c.closedFirst; ++i) {
            const linger abort{1, 0};
            const SocketResult dead =
                connectTcp(TcpFamily::IPv4, "127.0.0.1", std::to_string(port_), test::kLivenessBound);
            ASSERT_TRUE(dead.ok() && (!c.reset || ::setsockopt(dead.fd.get(), SOL_SOCKET, SO_LINGER, &abort,
                                                               sizeof(abort)) == 0));
        }
        rtfeed::RtFeed back(feedOptions(c.back));
        ASSERT_TRUE(back.connect(test::kLivenessBound));
        lf_sendUserPosition();
        EXPECT_TRUE(rtClientConnected.load());
        EXPECT_TRUE(mainWindowState.realTrafficConnected.load());
        lf_sendUserPosition();
        ASSERT_TRUE(back.waitForLine("Qs121", test::kLivenessBound));
        EXPECT_EQ(back.waitForLine("Qs999", 0ms).has_value(), c.askedAgain) << "the version question";
        EXPECT_TRUE(rtProfessional.load()) << "the edition learned, kept";
        EXPECT_EQ(mainWindowState.displayTexts().realTrafficVersionText, "RT prof edition: 9.0.1");
        const auto backLog = logFrom(logBefore);
        const auto ending = [&](std::string_view end) {
            return std::count_if(backLog.begin(), backLog.end(),
                                 [&](const auto& line) { return line.ends_with(end); });
        };
        EXPECT_EQ(ending(" RealTraffic gone? Wait for RealTraffic to re-connect ..."), 1)
            << "traffic taken out once";
        EXPECT_EQ(ending(" RealTraffic re-connected"), 1);
        const std::string skipped = std::to_string(c.closedFirst) + " closed RealTraffic connections skipped";
        EXPECT_EQ(ending(" closed RealTraffic connections skipped"), c.closedFirst > 0 ? 1 : 0) << "one line";
        EXPECT_EQ(std::count(backLog.begin(), backLog.end(), skipped), c.closedFirst > 0 ? 1 : 0) << skipped;
    }
}

TEST_F(RtServerTest, SetUpFailuresThrowTheirText) {
    EXPECT_EQ(rtServerAddress(), "127.0.0.1") << "loopback only";
    EXPECT_EQ(rtServerPort(), port_);
    gf_closeRealTrafficSockets();
    const std::uint16_t taken = test::freeLoopbackPort();
    TcpListener other;
    ASSERT_TRUE(other.open(std::to_string(taken), true).ok());
    struct Case {
        std::string port;
        std::string text;
    };
    const std::string badPort = "getaddrinfo failed with error 10109";
    const Case cases[] = {
        {std::to_string(taken),
         "Bind failed at port " + std::to_string(taken) + " with error 10048 Address already in use"},
        {"70000", badPort},
        {"", badPort},
        {"0", badPort},
        {"80a", badPort},
        {"+80", badPort},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE("port text \"" + c.port + "\"");
        try {
            gf_startRTServer(c.port);
            ADD_FAILURE() << "no throw";
        } catch (const std::runtime_error& error) {
            EXPECT_EQ(error.what(), c.text);
        }
        EXPECT_EQ(rtServerPort(), 0) << "nothing left open";
    }
}

} // namespace
} // namespace zeph
