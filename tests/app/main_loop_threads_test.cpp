#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "aircraft/matching_tables.h"
#include "app/main_loop.h"
#include "app/startup_thread.h"
#include "app/window/controls.h"
#include "platform/sockets.h"
#include "platform/tcp_connect.h"
#include "realtraffic/report_queue.h"
#include "realtraffic/rt_server.h"
#include "realtraffic/traffic_reader.h"
#include "realtraffic/udp_readers.h"
#include "run_fixture.h"
#include "settings/parameter_table.h"
#include "settings/range.h"
#include "sim/sim_link.h"
#include "sim/user_aircraft.h"
#include "state/exit_reason.h"
#include "state/main_window_state.h"
#include "support/aircraft_fixture.h"
#include "support/eventually.h"
#include "support/free_port.h"
#include "support/run_simulator.h"
#include "support/slow_factor.h"
#include "traffic/traffic_tables.h"

namespace zeph {
namespace {

using namespace std::chrono_literals;
using MainLoopThreads = test::RunFixture;

using test::eventually;

// Ends the main loop of a case; declared after the loop's thread, so it runs before that thread is joined.
struct LoopEnd {
    LoopEnd() = default;
    LoopEnd(const LoopEnd&) = delete;
    LoopEnd& operator=(const LoopEnd&) = delete;
    ~LoopEnd() { gf_setExitReason(ExitReason::USER_CLOSED_SIM, 0); }
};

// Stops the client thread the loop started; declared between the simulator and the loop's thread, so the
// client leaves before the simulator goes and never sees it closed.
struct ClientEnd {
    ClientEnd() = default;
    ClientEnd(const ClientEnd&) = delete;
    ClientEnd& operator=(const ClientEnd&) = delete;
    ~ClientEnd() { stopSimClientThread(); }
};

// RealTraffic's side of the TCP link: connects as soon as the run listens and answers the version question
// before it is asked, so the run reads the answer right after asking.
TcpStream connectedRealTraffic(std::uint16_t port) {
    TcpStream client;
    eventually([&] {
        SocketResult connected = connectTcp(TcpFamily::IPv4, "127.0.0.1", std::to_string(port), 200ms);
        if (connected.ok()) {
            client = TcpStream(std::move(connected.fd));
        }
        return client.isOpen();
    });
    client.send(R"({"level":2,"version":"9.0.1"})");
    return client;
}

std::string receivedText(TcpStream& client) {
    std::array<char, 256> buffer{};
    const TcpStream::Received got = client.receiveFor(buffer, test::kLivenessBound);
    return std::string(buffer.data(), got.status == TcpStream::Status::Data ? got.count : 0);
}

// A close in the 2 s between the two readers' start ends the loop without starting the Traffic Reader.
TEST_F(MainLoopThreads, TheLoopBringsTheLinksUpInOrderAndRunsTheSeconds) {
    struct Case {
        const char* name;
        bool aerowinx;
        bool realTrafficHere;
        bool serverExpected;
        bool closeBetweenReaders = false;
    };
    const Case cases[] = {
        {"AEROWINX on", true, true, false},
        {"RealTraffic here, AEROWINX off", false, true, true},
        {"closed between the readers' start", true, true, false, true},
    };
    const GeoPoint user{50.0333, 8.5706};
    const test::TestAircraft fleet;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        resetExitReasonForRestart();
        gf_resetReaders();
        gf_closeRealTrafficSockets();
        trafficReader.setLastReportTime(1704070800.0);
        AEROWINX.setValue(c.aerowinx);
        realTrafficOnThisPc.store(c.realTrafficHere);
        realTrafficUdpPorts = {0, 0}; // free ports: other tests may hold RealTraffic's own
        realTrafficAwaited.store(true);
        const std::uint16_t port = test::freeLoopbackPort();
        PORT_NUMBER.setValue(std::to_string(port));
        rtProfessional.store(true);
        secondsCounter.store(0);
        gf_setRange(40);
        gf_resetSimLink();
        test::RunSimulator simulator(user, true);
        simulator.startSeconds(20ms);
        const ClientEnd clientEnd;
        simMajorVersion.store(0);
        mainWindowState.qnhReaderState.store(3);
        mainWindowState.trafficReaderState.store(3);
        std::atomic<bool> loopEnded{false};
        std::jthread loop([&] {
            lf_mainLoop();
            loopEnded.store(true);
        });
        // However the case ends, the loop is asked to end before it is joined.
        const LoopEnd end;
        if (c.closeBetweenReaders) {
            ASSERT_TRUE(eventually([] { return mainWindowState.qnhReaderState.load() == 1; }));
            gf_setExitReason(ExitReason::USER_CLOSED_SIM, 0);
            EXPECT_TRUE(eventually([&] { return loopEnded.load(); }));
            EXPECT_EQ(mainWindowState.trafficReaderState.load(), 3) << "the Traffic Reader was not started";
            continue;
        }
        TcpStream realTraffic = c.serverExpected ? connectedRealTraffic(port) : TcpStream();
        if (c.serverExpected) {
            // The wait for RealTraffic resets the readers; the first traffic comes after it.
            ASSERT_TRUE(eventually([] { return !realTrafficAwaited.load(); }));
            trafficReader.setLastReportTime(1704070800.0);
        }
        ASSERT_TRUE(eventually([] { return secondsCounter.load() >= 3; })) << "the seconds run";

        EXPECT_GE(liveAcTable.capacity(), 512U) << "the tables got their room";
        EXPECT_TRUE(matchingReserved);
        EXPECT_EQ(lateralRangeNm.load(), 10.0) << "the auto range chose the range of a user on the ground";
        EXPECT_EQ(simMajorVersion.load(), 5U) << "the simulator link was set up for this run";
        EXPECT_EQ(rtServerPort(), c.serverExpected ? port : 0);
        EXPECT_EQ(realTrafficAwaited.load(), !c.serverExpected) << "the handshake ran";
        if (c.serverExpected) {
            EXPECT_TRUE(receivedText(realTraffic).starts_with("Qs999=version\r\n"));
            EXPECT_EQ(mainWindowState.displayTexts().realTrafficVersionText, "RT prof edition: 9.0.1");
        }
        EXPECT_EQ(rtProfessional.load(), c.serverExpected);
        EXPECT_TRUE(mainWindowState.realTrafficConnected.load());
        EXPECT_EQ(userAcObjectId.load(), 1U) << "the user aircraft came from the simulator";
        EXPECT_EQ(trafficReader.userPosition().lat, user.lat);
        EXPECT_EQ(trafficReader.userPosition().lon, user.lon);
        EXPECT_TRUE(isTrafficAccepting());
        headless().pump();
        EXPECT_TRUE(headless().control(csToOidButton.controlId)->enabled);
        EXPECT_TRUE(simClientThread.joinable());
        EXPECT_TRUE(trafficReaderThread.joinable());
    }
    gf_closeRealTrafficSockets();
}

} // namespace
} // namespace zeph
