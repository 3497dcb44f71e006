#include <algorithm>
#include <array>
#include <atomic>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include <gtest/gtest.h>

#include "aircraft/livery_matcher.h"
#include "aircraft/livery_memory.h"
#include "aircraft/no_match_list.h"
#include "airports/park_airport_list.h"
#include "airports/stands.h"
#include "app/main_loop.h"
#include "core/run_flags.h"
#include "platform/sockets.h"
#include "platform/tcp_connect.h"
#include "realtraffic/rt_server.h"
#include "realtraffic/traffic_reader.h"
#include "realtraffic/udp_readers.h"
#include "run_fixture.h"
#include "settings/parameter_table.h"
#include "sim/sim_link.h"
#include "sim/user_aircraft.h"
#include "state/main_window_state.h"
#include "state/run_state.h"
#include "state/status_line.h"
#include "support/airport_fixture.h"
#include "support/fake_simulator.h"
#include "support/free_port.h"
#include "support/livery_tables.h"
#include "support/slow_factor.h"
#include "support/traffic_builders.h"
#include "traffic/park_airport_status.h"
#include "traffic/traffic_tables.h"

namespace zeph {
namespace {

using test::RunFixture;

// The main loop's passes driven by hand: a running flight, and a one-second event before each pass.
class SecondsScheduleTest : public RunFixture {
protected:
    void SetUp() override {
        RunFixture::SetUp();
        simConnected.store(true);
    }

    // One pass with a pending event.
    void second() {
        oneSecondPending.store(true);
        const int before = secondsCounter.load();
        EXPECT_TRUE(lf_mainLoopTick());
        // A pass that counts no second would keep the loops below running for ever.
        stuck_ = stuck_ || secondsCounter.load() == before;
        EXPECT_FALSE(stuck_) << "the second was not counted";
    }
    bool stuck_ = false;

    // The seconds until secondsCounter reaches last at which the watchdog found the silent traffic reader
    // dead; it is shown live again before every second.
    std::set<int> secondsReaderFoundSilent(int last) {
        mainWindowState.realTrafficConnected.store(true);
        std::set<int> seconds;
        while (secondsCounter.load() < last && !stuck_) {
            trafficReaderLive.store(true);
            mainWindowState.trafficReaderState.store(1);
            mainWindowState.qnhReaderState.store(1);
            second();
            if (!trafficReaderLive.load()) {
                seconds.insert(secondsCounter.load());
            }
        }
        mainWindowState.realTrafficConnected.store(false);
        return seconds;
    }

    // The seconds until secondsCounter reaches last at which the static twin of a live aircraft on the
    // ground was removed; the twin is set up again before every second.
    std::set<int> secondsTwinRemoved(int last) {
        LiveAc& live = liveAcTable.emplace_back();
        live.callsign = "ABC123", live.hexid = live.objectId = 222222, live.state = AcState::active,
        live.onGround = 1;
        // 5 nm north of the user aircraft, with one position due far ahead: it stays where it is.
        std::unique_lock lock(userDataMutex);
        live.position.latitude = userAcPosition.latitude + 5.0 / 60.0,
        live.position.longitude = userAcPosition.longitude;
        lock.unlock();
        live.stream.push_back({.latitude = live.position.latitude,
                               .longitude = live.position.longitude,
                               .duePass = tickCounter.load() + 100000000,
                               .roll = {},
                               .trueHeading = {}});
        StaticAc twin;
        twin.callsign = "ABC123*", twin.hexid = 7, twin.objectId = 700, twin.state = AcState::active;
        std::set<int> seconds;
        while (secondsCounter.load() < last && !stuck_) {
            staticAcTable = {twin};
            second();
            if (staticAcTable.empty() || staticAcTable[0].state != AcState::active) {
                seconds.insert(secondsCounter.load());
            }
        }
        liveAcTable.clear(), staticAcTable.clear(), removalQueue.clear();
        return seconds;
    }

    // The seconds until secondsCounter reaches last at which Log.txt gained a line that begins with text.
    std::set<int> secondsLogging(const std::string& text, int last) {
        std::set<int> seconds;
        while (secondsCounter.load() < last && !stuck_) {
            const std::size_t before = linesStarting(text);
            second();
            if (linesStarting(text) > before)
                seconds.insert(secondsCounter.load());
        }
        return seconds;
    }
    std::size_t linesStarting(const std::string& text) const {
        const auto lines = readLog();
        return static_cast<std::size_t>(std::count_if(
            lines.begin(), lines.end(), [&](const std::string& line) { return line.starts_with(text); }));
    }

    test::FakeSimulator simulator_; // answers the traffic engine's own requests
};

std::set<int> multiplesNotOfFive(int of, int last) {
    std::set<int> seconds;
    for (int s = of; s <= last; s += of) {
        if (s % 5 != 0) {
            seconds.insert(s);
        }
    }
    return seconds;
}

TEST_F(SecondsScheduleTest, TheFirstEventGivesSecondOne) {
    second();
    EXPECT_EQ(secondsCounter.load(), 1);
}

TEST_F(SecondsScheduleTest, TheOffBeatChecksRunOnlyOnSecondsThatAreNotMultiplesOfFive) {
    secondsCounter.store(0);
    test::placeUserAircraft(UserAcPosition{.latitude = 50.0, .longitude = 8.0}, true); // at no known airport
    EXPECT_EQ(secondsLogging("User aircraft on the ground", 400), multiplesNotOfFive(16, 400))
        << "the park-airport check";
    secondsCounter.store(0);
    EXPECT_EQ(secondsReaderFoundSilent(400), multiplesNotOfFive(59, 400));
    secondsCounter.store(0);
    EXPECT_EQ(secondsTwinRemoved(400), multiplesNotOfFive(61, 400));
    // The spot checks of the schedule.
    const std::set<int> park = multiplesNotOfFive(16, 400);
    for (int s : {80, 160, 240, 320, 400}) {
        EXPECT_EQ(park.count(s), 0U) << s;
    }
    EXPECT_EQ(multiplesNotOfFive(59, 400), (std::set<int>{59, 118, 177, 236, 354}));
    EXPECT_EQ(multiplesNotOfFive(61, 400), (std::set<int>{61, 122, 183, 244, 366}));
}

TEST_F(SecondsScheduleTest, NoParkAirportCheckWhileARenewalIsHalfDone) {
    staticRenewalStarted = true;
    secondsCounter.store(15);
    test::placeUserAircraft(UserAcPosition{.latitude = 50.0, .longitude = 8.0}, true);
    EXPECT_EQ(secondsLogging("User aircraft on the ground", 40), std::set<int>{});
}

TEST_F(SecondsScheduleTest, TheFiveSecondBeat) {
    struct Case {
        const char* name;
        bool reserved;
        bool professional;
        int second;
        bool beat;
    };
    const Case cases[] = {
        {"s 5, nothing set", false, false, 5, true},
        {"s 10, reserved stand", true, false, 10, true},
        {"s 15, professional", false, true, 15, true},
        {"s 21, reserved and professional, off beat", true, true, 21, false},
    };
    // RealTraffic's side of the TCP link, to see what the beat sends.
    const std::uint16_t port = test::freeLoopbackPort();
    gf_startRTServer(std::to_string(port));
    SocketResult connected =
        connectTcp(TcpFamily::IPv4, "127.0.0.1", std::to_string(port), test::kLivenessBound);
    ASSERT_TRUE(connected.ok());
    TcpStream realTraffic(std::move(connected.fd));
    ASSERT_TRUE(waitForClient());
    test::installEddfStands();
    StaticAc onReserved;
    onReserved.hexid = 7, onReserved.objectId = 700, onReserved.state = AcState::active,
    onReserved.standNumber = 2; // A12
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        staticAcTable = {onReserved};
        {
            const std::lock_guard lock(parkAirportListMutex);
            reservedStand = c.reserved ? "A12" : "";
        }
        rtProfessional.store(c.professional);
        simUtcSeconds.store(1704070800);
        trafficReader.setUserPosition(GeoPoint{});
        UserAcPosition user;
        user.latitude = 50.0 + c.second;
        user.longitude = 8.5;
        // The traffic pass refreshes the program's copy from the simulator's record.
        simulator_.setUserData(user);
        {
            const std::lock_guard lock(userDataMutex);
            userAcPosition = user;
        }
        secondsCounter.store(c.second - 1);
        second();
        const GeoPoint reader = trafficReader.userPosition();
        EXPECT_EQ(reader.lat, c.beat ? 50.0 + c.second : 0.0);
        EXPECT_EQ(reader.lon, c.beat ? 8.5 : 0.0);
        ASSERT_EQ(staticAcTable.size(), 1U);
        EXPECT_EQ(staticAcTable[0].state == AcState::removingfromsim, c.beat && c.reserved);
        // A marker line after the beat: what came before it is what the beat sent.
        ASSERT_TRUE(sendDataPacket("end\r\n"));
        std::string sent;
        std::array<char, 256> buffer{};
        while (!sent.ends_with("end\r\n")) {
            const TcpStream::Received got = realTraffic.receiveFor(buffer, test::kLivenessBound);
            ASSERT_EQ(got.status, TcpStream::Status::Data);
            sent.append(buffer.data(), got.count);
        }
        EXPECT_EQ(sent, c.beat && c.professional ? "Qs123=1704070800000\r\nend\r\n" : "end\r\n");
    }
    staticAcTable.clear();
    removalQueue.clear();
    lf_clearParkPositions();
    gf_closeRealTrafficSockets();
}

TEST_F(SecondsScheduleTest, TheDayEndsWithTheListsAndStartsAgain) {
    rememberedLiveries[4711] = "A livery";
    matchStepCounts = {0, 0, 1, 0, 0, 0, 0};
    noMatchList = {"KLM B738 PH-ABC"};
    secondsCounter.store(86399);
    second();
    const auto lines = readLog();
    const auto print = std::find(lines.begin(), lines.end(), "No match found for:");
    const auto summary = std::find(lines.begin(), lines.end(), test::matchingSummaryBanner());
    EXPECT_TRUE(print < summary && summary < lines.end()) << "the no-match list, then the summary";
    matchStepCounts.fill(0);
    EXPECT_TRUE(rememberedLiveries.empty());
    EXPECT_EQ(secondsCounter.load(), 0);
    second();
    EXPECT_EQ(secondsCounter.load(), 1);
}

TEST_F(SecondsScheduleTest, AStatusTextStays25SecondsAnErrorUntilARenewal) {
    {
        const std::lock_guard lock(mainWindowState.statusMutex);
        mainWindowState.statusClock = 10;
    }
    gf_setStatus("hello", false);
    const auto statusText = [] {
        const std::lock_guard lock(mainWindowState.statusMutex);
        return std::make_pair(mainWindowState.statusClock, mainWindowState.statusText);
    };
    for (int k = 0; k < 24; ++k) {
        second();
    }
    EXPECT_EQ(statusText(), std::make_pair(34, std::string("hello")));
    second();
    EXPECT_EQ(statusText(), std::make_pair(35, std::string()));

    gf_setErrorStatus("bad");
    secondsCounter.store(1000); // keeps clear of a renewal's seconds
    for (int k = 0; k < 100; ++k) {
        second();
    }
    const auto errorText = [] {
        const std::lock_guard lock(mainWindowState.statusMutex);
        return mainWindowState.errorText;
    };
    EXPECT_EQ(errorText(), "bad");
    staticRenewNow.store(true);
    staticRenewalStarted = true;
    secondsCounter.store(1034);
    second();
    EXPECT_EQ(errorText(), "");
}

TEST_F(SecondsScheduleTest, ARequestedRenewalRunsInTwoPhases) {
    staticRenewNow.store(true);
    secondsCounter.store(14);
    second();
    EXPECT_TRUE(staticRenewalStarted);
    EXPECT_TRUE(staticRenewalBusy.load());
    EXPECT_TRUE(trafficReader.collectingCallsigns());
    EXPECT_TRUE(trafficReader.seenCallsigns().empty());
    second(); // s 16: no park-airport check while the renewal is half done
    while (secondsCounter.load() < 29 && !stuck_) {
        second();
    }
    EXPECT_TRUE(staticRenewalStarted);
    second();
    EXPECT_FALSE(staticRenewalStarted);
    EXPECT_FALSE(staticRenewNow.load());
}

TEST_F(SecondsScheduleTest, ParkingAdjustmentsNeedAParkAirportWithStands) {
    struct Case {
        const char* name;
        const char* code;
        bool stands;
        bool adjusted;
    };
    const Case cases[] = {
        {"code and stands", "EDDF", true, true},
        {"code, no stands", "EDDF", false, false},
        {"stands, no code", "", true, false},
        {"neither", "", false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        setParkAirportRecord(ParkAirportRecord{c.code});
        standList.clear();
        if (c.stands) {
            standList.emplace_back("A1", std::vector<StandUse>{}, GeoPoint{50.0, 8.5}, 0.0, 20.0, false,
                                   false, false);
        }
        staticRenewNow.store(true);
        staticRenewalStarted = true;
        secondsCounter.store(29);
        EXPECT_EQ(secondsLogging("Parking adjustments:", 30).size(), c.adjusted ? 1U : 0U);
        EXPECT_FALSE(staticRenewNow.load());
    }
}

// The countdown the window's note shows: 20 after a first calculation, one less each minute of running
// flight, 20 again on "Now" and when it reaches 0, which asks for a renewal.
TEST_F(SecondsScheduleTest, TheTwentyMinuteCountdownDropsEachMinuteAndAsksForARenewal) {
    parkAirportLoaded.store(true);
    INITIAL_LOAD_ONLY.setValue(false);
    setRenewalCountdown(20); // as the first calculation leaves it
    // Second reached, "Now" pressed at it, minutes left, renewal asked.
    for (const auto& [at, now, minutes, asked] : {std::tuple{59, false, 20, false},
                                                  {60, false, 19, false},
                                                  {119, false, 19, false},
                                                  {120, false, 18, false},
                                                  {300, false, 15, false},
                                                  {301, true, 20, false},
                                                  {359, false, 20, false},
                                                  {360, false, 19, false},
                                                  {1440, false, 1, false},
                                                  {1499, false, 1, false},
                                                  {1500, false, 20, true}}) {
        while (secondsCounter.load() < at && !stuck_) {
            second();
        }
        if (now) {
            setRenewalCountdown(20); // what the button does besides asking for a renewal
        }
        EXPECT_EQ(renewalCountdown.load(), minutes) << "at " << at << " s";
        EXPECT_EQ(staticRenewNow.load(), asked) << "at " << at << " s";
    }
    EXPECT_TRUE(staticRenewalBusy.load());
    const std::lock_guard lock(mainWindowState.statusMutex);
    EXPECT_EQ(mainWindowState.statusText, "Corvane_P3D will update static parking in 15 seconds ...");
}

// "Now" on the GUI thread and the minute step on the traffic thread, round after round, the press a little
// later each round so that it meets every instant of the step: whichever comes first, the press is kept (20,
// or 19 when the step came after it), never lost under 10 - 1.
TEST(RenewalCountdownThreads, ANowPressRacingTheMinuteStepIsKept) {
    constexpr int rounds = 20000;
    std::atomic<int> round{0};
    std::atomic<int> stepped{0};
    const std::jthread minutes([&] {
        for (int k = 1; k <= rounds; ++k) {
            // Busy, to start with the round; yielding later, for machines with fewer cores than spinners.
            for (int spins = 0; round.load() < k; ++spins) {
                if (spins > 10000) {
                    std::this_thread::yield();
                }
            }
            stepRenewalCountdown();
            stepped.store(k);
        }
    });
    int lost = 0;
    for (int k = 1; k <= rounds; ++k) {
        renewalCountdown.store(10);
        round.store(k);
        // The press a little later each round; the written sink keeps the delay loop.
        [[maybe_unused]] volatile int delay = 0;
        for (int spin = 0; spin < k % 200; ++spin) {
            delay = spin;
        }
        setRenewalCountdown(20);
        while (stepped.load() < k) {
            std::this_thread::yield();
        }
        const std::int32_t left = renewalCountdown.load();
        lost += left == 19 || left == 20 ? 0 : 1;
    }
    EXPECT_EQ(lost, 0) << "of " << rounds << " rounds";
}

} // namespace
} // namespace zeph
