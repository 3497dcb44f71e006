#include <algorithm>
#include <cmath>
#include <mutex>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "airports/stands.h"
#include "app/main_loop.h"
#include "core/geodesy.h"
#include "core/run_flags.h"
#include "realtraffic/report_queue.h"
#include "run_fixture.h"
#include "settings/control_sink.h"
#include "settings/parameter_table.h"
#include "settings/xml_parameters.h"
#include "sim/sim_link.h"
#include "sim/user_aircraft.h"
#include "state/exit_reason.h"
#include "state/main_window_state.h"
#include "state/run_state.h"
#include "support/airport_fixture.h"
#include "support/fake_simulator.h"
#include "support/stand_builder.h"
#include "support/week_clock.h"
#include "traffic/park_airport_status.h"
#include "traffic/traffic_tables.h"

namespace zeph {
namespace {

using test::RunFixture;

constexpr GeoPoint userPosition{50.0, 8.5};
constexpr double radius = 0.01;

int countOf(const std::vector<std::string>& lines, const std::string& text) {
    return static_cast<int>(std::count_if(lines.begin(), lines.end(), [&](const std::string& line) {
        return line.find(text) != std::string::npos;
    }));
}

// A point distanceNm due north of the user aircraft.
GeoPoint northOfUser(double distanceNm) {
    return GeoPoint{userPosition.lat + distanceNm / 60.0, userPosition.lon};
}

LiveAc liveAircraft(std::uint32_t hexid, GeoPoint at, bool onGround = true) {
    LiveAc aircraft;
    aircraft.hexid = hexid;
    aircraft.radius = radius;
    aircraft.state = AcState::active;
    aircraft.onGround = onGround ? 1 : 0;
    aircraft.position.latitude = at.lat;
    aircraft.position.longitude = at.lon;
    // In the simulator, with one position due far ahead: it stays where it is.
    aircraft.objectId = hexid;
    StreamPos& ahead = aircraft.stream.emplace_back();
    ahead.latitude = at.lat;
    ahead.longitude = at.lon;
    ahead.duePass = tickCounter.load() + 100000000;
    return aircraft;
}

StaticAc staticAircraft(std::uint32_t hexid, GeoPoint at) {
    StaticAc aircraft;
    aircraft.hexid = hexid;
    aircraft.radius = radius;
    aircraft.state = AcState::active;
    aircraft.standLatitude = at.lat;
    aircraft.standLongitude = at.lon;
    return aircraft;
}

class MainLoopTickTest : public RunFixture {
protected:
    void SetUp() override {
        RunFixture::SetUp();
        connectUser();
    }

    // A connected flight with the user aircraft on the ground at userPosition; the engine's requests are
    // answered by the fake port.
    void connectUser() {
        UserAcPosition record;
        record.latitude = userPosition.lat;
        record.longitude = userPosition.lon;
        simulator_.setUserData(record);
        {
            const std::lock_guard lock(userDataMutex);
            userAcPosition = record;
            userOnGround = 1;
            userOnGroundKnown = 1;
            userHalfWingSpan = radius;
        }
        mainWindowState.simConnected.store(true);
        simConnected.store(true);
    }

    void second() {
        oneSecondPending.store(true);
        EXPECT_TRUE(lf_mainLoopTick());
    }

    test::FakeSimulator simulator_;
};

TEST_F(MainLoopTickTest, TheUserAircraftOnTheGroundPushesOthersAway) {
    struct Case {
        const char* name;
        std::vector<double> liveAt; // nm from the user, all on the ground and active
        std::vector<double> staticAt;
        bool userMoved;
        std::vector<AcState> liveAfter;
        std::vector<AcState> staticAfter;
    };
    const AcState removed = AcState::removingfromsim;
    const AcState active = AcState::active;
    const Case cases[] = {
        {"live at 0.022 removed", {0.022}, {}, true, {removed}, {}},
        {"live at 0.024 kept", {0.024}, {}, true, {active}, {}},
        {"two live at 0.020: only the first", {0.020, 0.020}, {}, true, {removed, active}, {}},
        {"static at 0.021 removed", {}, {0.021}, true, {}, {removed}},
        {"static at 0.021 kept while a live one went", {0.020}, {0.021}, true, {removed}, {active}},
        {"static at 0.023 kept", {}, {0.023}, true, {}, {active}},
        {"static at 0.021 kept when the user has not moved", {}, {0.021}, false, {}, {active}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        liveAcTable.clear();
        staticAcTable.clear();
        std::uint32_t hexid = 20000;
        for (double d : c.liveAt) {
            liveAcTable.push_back(liveAircraft(++hexid, northOfUser(d)));
        }
        for (double d : c.staticAt) {
            staticAcTable.push_back(staticAircraft(++hexid - 10000, northOfUser(d)));
        }
        {
            // The user moves a little before every case but the one that stays put.
            const std::lock_guard lock(userDataMutex);
            if (c.userMoved) {
                userAcPosition.latitude += 1e-7;
            }
        }
        second();
        for (std::size_t k = 0; k < c.liveAfter.size(); ++k) {
            EXPECT_EQ(liveAcTable[k].state, c.liveAfter[k]) << "live " << k;
        }
        for (std::size_t k = 0; k < c.staticAfter.size(); ++k) {
            EXPECT_EQ(staticAcTable[k].state, c.staticAfter[k]) << "static " << k;
        }
    }
}

TEST_F(MainLoopTickTest, TheFlyingUserAircraftAsksTrafficToAvoidIt) {
    struct Case {
        const char* name;
        bool onGround;
        bool collisionAir;
        bool avoids;
    };
    const Case cases[] = {
        {"airborne, COLLISION_USER_AIR on", false, true, true},
        {"airborne, COLLISION_USER_AIR off", false, false, false},
        {"on the ground", true, true, false},
    };
    constexpr double kFeetPerNm = 6076.11549;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        {
            const std::lock_guard lock(userDataMutex);
            userOnGround = c.onGround ? 1 : 0;
        }
        COLLISION_USER_AIR.setValue(c.collisionAir);
        // Flying 600 ft ahead of the user at the same altitude.
        liveAcTable = {liveAircraft(333333, northOfUser(600.0 / kFeetPerNm), false)};
        liveAcTable.front().objectId = 101;
        second();
        ASSERT_EQ(liveAcTable.size(), 1U);
        EXPECT_EQ(liveAcTable.front().state == AcState::removingfromsim, c.avoids);
    }
    liveAcTable.clear();
    removalQueue.clear();
}

TEST_F(MainLoopTickTest, OneCoupleCheckASecond) {
    // The park airport learned that ABC998 leaves as ABC999 on Wednesdays around 09:00.
    const test::WeekClock clock(WeekSlot{3, 20});
    test::StandBuilder(northOfUser(20.0))
        .stand({.id = "A1"})
        .use({.firstSlot = 18,
              .lastSlot = 18,
              .reg = "D-ABCE",
              .airline = "ABC",
              .callsign = "ABC998",
              .callsign2 = "ABC999"})
        .install();
    liveAcTable.push_back(liveAircraft(222222, northOfUser(5.0)));
    liveAcTable[0].callsign = "ABC999", liveAcTable[0].airline = "ABC",
    liveAcTable[0].registration = "D-ABCD";
    staticAcTable = {staticAircraft(7, northOfUser(9.0))};
    staticAcTable[0].registration = "D-ABCD", staticAcTable[0].objectId = 700;
    coupleCheckList = {111111, 222222};
    second();
    EXPECT_EQ(coupleCheckList, (std::list<std::uint32_t>{222222}));
    EXPECT_TRUE(liveAcTable[0].firstCallsign.empty());
    second();
    EXPECT_TRUE(coupleCheckList.empty());
    EXPECT_EQ(liveAcTable[0].firstCallsign + " " + liveAcTable[0].coupledCallsign, "ABC998 ABC999");
    EXPECT_TRUE(staticAcTable[0].state == AcState::removingfromsim && liveAcTable[0].coupledSearchDone == 1U);
    staticAcTable.clear(), removalQueue.clear();
    lf_clearParkPositions();
}

// "Now" cannot renew while INITIAL_LOAD_ONLY is on, so it is disabled until the user unticks the box.
TEST_F(MainLoopTickTest, FlushingStaticAircraftTurnsInitialLoadOnlyOnWithoutSavingIt) {
    INITIAL_LOAD_ONLY.set(false);
    controlSink().enable(nowButton, true);
    staticAcTable = {staticAircraft(7, northOfUser(9.0))};
    staticAcTable[0].objectId = 700;
    flushStaticRequest.store(true);
    second();
    EXPECT_TRUE(staticAcTable.size() == 1 && staticAcTable[0].state == AcState::removingfromsim);
    staticAcTable.clear(), removalQueue.clear();
    EXPECT_FALSE(flushStaticRequest.load());
    EXPECT_TRUE(INITIAL_LOAD_ONLY.get());
    headless().pump();
    EXPECT_TRUE(headless().control(INITIAL_LOAD_ONLY.controlId)->checked);
    EXPECT_FALSE(headless().control(nowButton.controlId)->enabled);
    EXPECT_EQ(storedParameter("INITIAL_LOAD_ONLY"), "false");
    ASSERT_TRUE(headless().click(INITIAL_LOAD_ONLY.controlId));
    headless().pump();
    EXPECT_TRUE(headless().control(nowButton.controlId)->enabled);
}

// A flush is for the stay: the learned file keeps INITIAL_LOAD_ONLY from before it, a tick by the user there
// goes to the file.
TEST_F(MainLoopTickTest, AFlushAtTheParkAirportIsNotSavedInItsFile) {
    struct Case {
        const char* name;
        int userClicks; // on the box after the flush
        const char* saved;
    };
    for (const Case& c : {Case{"flush, then leave", 0, "false"}, Case{"flush, untick, tick", 2, "true"}}) {
        SCOPED_TRACE(c.name);
        INITIAL_LOAD_ONLY.set(false);
        test::installParkAirportFiles();
        ASSERT_TRUE(lf_logParkAirport("ZZPA"));
        ASSERT_EQ(lf_readParkedFile(), "");
        flushStaticRequest.store(true);
        second();
        for (int k = 0; k < c.userClicks; ++k)
            ASSERT_TRUE(headless().click(INITIAL_LOAD_ONLY.controlId));
        lf_resetParkAirport();
        pugi::xml_document doc;
        ASSERT_TRUE(doc.load_file(test::parkAirportLearnedFile().c_str()));
        EXPECT_EQ(gf_getStringParameter(doc, "INITIAL_LOAD_ONLY"), c.saved);
        EXPECT_FALSE(INITIAL_LOAD_ONLY.get()) << "the user's own value is back";
    }
}

TEST_F(MainLoopTickTest, ABlockedCallsignRemovesItsFirstActiveAircraft) {
    LiveAc first = liveAircraft(30001, northOfUser(5.0));
    first.callsign = "ABC123";
    LiveAc twin = liveAircraft(30002, northOfUser(6.0));
    twin.callsign = "ABC123";
    liveAcTable = {first, twin};
    BLOCK_CALLSIGN.setValue("ABC123");
    blockingChanged.store(true);
    second();
    EXPECT_EQ(liveAcTable[0].state, AcState::removingfromsim);
    EXPECT_EQ(liveAcTable[1].state, AcState::active);
    EXPECT_FALSE(blockingChanged.load());
}

TEST_F(MainLoopTickTest, WithoutARunningFlightThePassesTickSlowly) {
    setTrafficAccepting(true);
    {
        const std::lock_guard lock(simConnectMutex);
        positionBuffers.writeHalf().push_back(AiPositionData{.objectId = 101});
        positionBuffers.sendHalf().push_back(AiPositionData{102});
    }
    simConnected.store(false);
    rereadRequest.store(true);
    for (int pass = 1; pass <= 99; ++pass) {
        EXPECT_TRUE(lf_mainLoopTick());
    }
    EXPECT_FALSE(isTrafficAccepting());
    EXPECT_TRUE(positionBuffers.halves()[0].empty());
    EXPECT_TRUE(positionBuffers.halves()[1].empty());
    const auto status = [] {
        const std::lock_guard lock(mainWindowState.statusMutex);
        return mainWindowState.statusText;
    };
    EXPECT_NE(status(), "park airports and stands are okay") << "pass 99";
    EXPECT_TRUE(lf_mainLoopTick());
    EXPECT_EQ(status(), "park airports and stands are okay") << "pass 100: the Re-read was served";
    EXPECT_FALSE(rereadRequest.load());
    EXPECT_EQ(countOf(readLog(), " Flight not running"), 1);

    simConnected.store(true);
    second();
    EXPECT_EQ(countOf(readLog(), " Flight resumed"), 1);
    EXPECT_TRUE(isTrafficAccepting());
}

TEST_F(MainLoopTickTest, AFailedLinkTakesTheNotRunningPath) {
    lf_simRequestError();
    ASSERT_TRUE(simConnected.load());
    lf_mainLoopTick();
    EXPECT_EQ(countOf(readLog(), " Flight not running"), 1);
    EXPECT_EQ(tickCounter, 0);
}

TEST_F(MainLoopTickTest, TheStopFlagsEndTheLoopAtTheNextPass) {
    struct Case {
        const char* name;
        bool flightRuns;
        bool event;
    };
    const Case cases[] = {
        {"no flight", false, false},
        {"a frozen flight, no event", true, false},
        {"a running flight, an event", true, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        resetExitReasonForRestart();
        simConnected.store(c.flightRuns);
        oneSecondPending.store(false);
        EXPECT_TRUE(lf_mainLoopTick());
        const std::int64_t passes = tickCounter;
        gf_setExitReason(ExitReason::USER_CLOSED_SIM, 0);
        oneSecondPending.store(c.event);
        EXPECT_FALSE(lf_mainLoopTick());
        EXPECT_EQ(tickCounter, passes + (c.flightRuns ? 1 : 0)) << "the traffic pass ran first";
    }
}

} // namespace
} // namespace zeph
