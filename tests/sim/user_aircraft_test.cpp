// The user aircraft: the wait for it, its records and texts, its stand and the park-airport file. Most tests
// play the client thread on the test thread; the suites ending in Threads run the real client thread.
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <functional>
#include <future>
#include <limits>
#include <mutex>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "aircraft/aircraft_database.h"
#include "airports/park_airport_list.h"
#include "airports/stands.h"
#include "app/main_loop.h"
#include "core/errors.h"
#include "core/run_flags.h"
#include "realtraffic/rt_server.h"
#include "settings/data_tree.h"
#include "sim/sim_ids.h"
#include "sim/sim_link.h"
#include "sim/simconnect/messages.h"
#include "sim/user_aircraft.h"
#include "state/exit_reason.h"
#include "state/main_window_state.h"
#include "state/status_line.h"
#include "support/aircraft_fixture.h"
#include "support/airport_fixture.h"
#include "support/sim_fixture.h"
#include "support/temp_dir.h"
#include "traffic/park_airport_status.h"

namespace zeph {
namespace {

namespace fs = std::filesystem;
using Lines = std::vector<std::string>;

constexpr GeoPoint kA12 = test::kEddfA12;
// Metres north of a point, in degrees of latitude.
GeoPoint north(GeoPoint from, double metres) { return {from.lat + metres / 1852.0 / 60.0, from.lon}; }

std::string continuation(const std::string& text) { return std::string(10, ' ') + text; }

void placeAtRest(GeoPoint at, double knots) {
    UserAcPosition record;
    record.latitude = at.lat;
    record.longitude = at.lon;
    record.groundVelocity = knots;
    const std::lock_guard lock(userDataMutex);
    simUserData = record;
    userAcPosition = record;
    userOnGround = 1;
    userOnGroundKnown = 1;
}

void parkAt(const std::string& code) {
    setParkAirportRecord(ParkAirportRecord{.code = code});
    const std::lock_guard lock(parkAirportListMutex);
    ParkAirport entry;
    entry.code = code;
    parkAirportList = {entry};
}

// The user's place and state at the stand-in.
standin::UserUpdate userAt(double lat, double lon, double alt, double knots) {
    standin::UserUpdate update;
    update.lat = lat;
    update.lon = lon;
    update.alt = alt;
    update.groundSpeed = knots;
    update.onGround = true;
    return update;
}

std::size_t requestsOf(const standin::SimStandin& standin, std::uint32_t requestId) {
    std::size_t count = 0;
    for (const auto& packet : standin.packets().packets) {
        const auto* request = std::get_if<standin::RequestDataPacket>(&packet.fields);
        count += request != nullptr && request->requestId == requestId ? 1 : 0;
    }
    return count;
}

class UserAircraftTest : public test::SimFixture {
protected:
    void SetUp() override {
        test::SimFixture::SetUp();
        fs::create_directories(airportsDir);
        rtProfessional.store(false);
        oneSecondPending.store(false);
    }
    void TearDown() override {
        {
            const std::lock_guard lock(parkAirportListMutex);
            parkAirportList.clear();
        }
        setParkAirportRecord({});
        lf_clearParkPositions();
        rtProfessional.store(false);
        test::SimFixture::TearDown();
    }

    void connect(std::uint32_t userId = 7) {
        auto options = standinOptions();
        options.userObjectId = userId;
        startStandin(options);
        openAsClientThread();
        pumpPastMarker();
    }

    // Log lines added while action runs and its replies are dispatched; a UserErrorException on the way is
    // kept, as the client thread would catch it.
    Lines run(const std::function<void()>& action, std::string* thrown = nullptr) {
        const std::size_t before = readLog().size();
        action();
        for (int attempt = 0; attempt < 3; ++attempt) {
            try {
                pumpPastMarker();
                break;
            } catch (const UserErrorException& e) {
                if (thrown != nullptr) {
                    *thrown = e.what();
                }
            }
        }
        Lines lines = readLog();
        lines.erase(lines.begin(), lines.begin() + static_cast<std::ptrdiff_t>(before));
        std::erase(lines, "! Unknown Dispatch dwID 10");
        return lines;
    }
};

TEST_F(UserAircraftTest, OnGroundRepliesTickTheSecondsAlsoBeforeThePositionIsKnown) {
    connect();
    struct Case {
        const char* name;
        GeoPoint user;
        std::uint8_t knownAfter;
    };
    const Case cases[] = {{"position unknown", {0.0, 0.0}, 0}, {"position known", kA12, 1}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        {
            const std::lock_guard lock(userDataMutex);
            simUserData = UserAcPosition{.latitude = c.user.lat, .longitude = c.user.lon};
            userOnGroundKnown = 0;
        }
        oneSecondPending.store(false);
        run([&] {
            const std::lock_guard lock(simConnectMutex);
            gf_simCalls().requestDataOnSimObject(simid::kRequestUserOnGround, simid::kDefineUserOnGround, 0,
                                                 4);
        });
        standin().advanceClock(1000);
        ASSERT_TRUE(pumpUntil([] { return oneSecondPending.load(); }));
        EXPECT_EQ(userOnGroundKnown, c.knownAfter);
    }
}

// Day and time of day come from the simulator as 64-bit numbers; only a day of the year and a time of the
// day in range make a simulator time, and nothing out of range may overflow into it.
TEST_F(UserAircraftTest, ZuluFieldsOutOfRangeLeaveTheSimulatorTime) {
    constexpr std::int64_t kMax = std::numeric_limits<std::int64_t>::max();
    struct Case {
        const char* name;
        std::int64_t time;
        std::int64_t day;
        std::int64_t utc; // simUtcSeconds after the reply, 5 before it
    };
    const Case cases[] = {
        {"first day of 2024, 01:00", 3600, 1, 1704070800},
        {"huge day", 3600, kMax, 5},
        {"day 0", 3600, 0, 5},
        {"huge time", kMax, 1, 5},
        {"negative time", -1, 1, 5},
    };
    rtProfessional.store(true);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        simUtcSeconds.store(5);
        UserAcPosition record;
        record.latitude = 50.0;
        record.longitude = 8.5;
        record.zuluTime = c.time;
        record.zuluDayOfYear = c.day;
        record.zuluYear = 2024;
        std::vector<std::uint8_t> bytes(sizeof record);
        std::memcpy(bytes.data(), &record, sizeof record);
        lf_onUserPosition(ScObjectData{simid::kRequestUserPosition, 7, bytes});
        EXPECT_EQ(simUtcSeconds.load(), c.utc);
    }
    rtProfessional.store(false);
}

TEST_F(UserAircraftTest, PositionRecordsAreCheckedBeforeTheyCount) {
    connect();
    constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
    struct Case {
        const char* name;
        double latitude_; // sent
        double altitude_; // sent
        bool professional;
        Lines lines;
        ExitReason reason;
        double latitude;  // simUserData's after the reply
        double altitude;  // simUserData's after the reply
        std::int64_t utc; // simUtcSeconds after the reply, 5 before it
    };
    const Case cases[] = {
        {"first record", 50.0, 300.0, false, {}, ExitReason::NOT_YET_SET, 50.0, 300.0, 5},
        {"below sea level", 50.0, -20.0, false, {}, ExitReason::NOT_YET_SET, 50.0, 0.0, 5},
        {"professional time", 50.0, 10.0, true, {}, ExitReason::NOT_YET_SET, 50.0, 10.0, 1704070800},
        {"not finite",
         kNaN,
         10.0,
         false,
         {"! SimConnect data not finite, request 109, object 7"},
         ExitReason::NOT_YET_SET,
         50.0,
         10.0,
         5},
        {"12 nm jump", 50.2, 10.0, false, {"Teleport"}, ExitReason::NEW_FLIGHT, 50.2, 10.0, 5},
    };
    standin().setClock(1704070800000);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        resetExitReasonForRestart();
        rtProfessional.store(c.professional);
        simUtcSeconds.store(5);
        standin().moveUser(userAt(c.latitude_, 8.5, c.altitude_, 0.0));
        EXPECT_EQ(run([] { gf_getUserAcPosition(); }), c.lines);
        EXPECT_EQ(exitReason.load(), c.reason);
        EXPECT_EQ(simUserData.latitude, c.latitude);
        EXPECT_EQ(simUserData.altitude, c.altitude);
        EXPECT_EQ(simUtcSeconds.load(), c.utc);
        EXPECT_EQ(userAcObjectId.load(), 7U);
        if (c.reason == ExitReason::NEW_FLIGHT) {
            EXPECT_EQ(restartDelay, 30);
        }
    }
}

TEST_F(UserAircraftTest, TitleAndModelSetSpanKindAndPanel) {
    const test::TestAircraft fleet;
    maxHalfSpan = test::halfSpanNm(79.8);
    connect();
    const std::string sixty(60, 'T');
    const std::string accented = std::string(47, 'a') + "\xC3\xA9 tail"; // the cut would split the e-acute
    const std::string known = "Airbus A320 Lufthansa";
    const std::string unknownSpan =
        "User aircraft wing span unknown, max is taken instead, please report in my Forum!";
    struct Case {
        const char* name;
        std::string title;
        std::string model;
        std::string shownTitle;
        Lines lines; // after "model raw: {}"
        double span;
        AcKind kind;
        bool knownMark;
        std::string status;
        std::string thrown;
    };
    const Case cases[] = {
        {"A320",
         known,
         "A320",
         known,
         {continuation("SimConnect: User aircraft model: A320, half wing span: 17.9 meter, category: Large")},
         test::halfSpanNm(35.8),
         AcKind::Large,
         true,
         "",
         ""},
        {"deduced from the title",
         "Aerosoft A320 Lufthansa",
         "SomeLongModel",
         "Aerosoft A320 Lufthansa",
         {continuation(
             "SimConnect: User aircraft model deduced from title: A320, half wing span: 17.9 meter, "
             "category: Large")},
         test::halfSpanNm(35.8),
         AcKind::Large,
         true,
         "",
         ""},
        {"unknown span",
         known,
         "SomeLongModel",
         known,
         {unknownSpan, continuation("SimConnect: User aircraft model: SomeLongModel, category: Light")},
         maxHalfSpan,
         AcKind::Light,
         false,
         unknownSpan,
         ""},
        {"camerapod",
         sixty,
         "camerapod",
         sixty.substr(0, 48),
         {continuation("SimConnect: User aircraft model: camerapod")},
         test::halfSpanNm(28.7),
         AcKind::Light,
         true,
         "",
         ""},
        {"cut title",
         accented,
         "A320",
         std::string(47, 'a'),
         {continuation("SimConnect: User aircraft model: A320, half wing span: 17.9 meter, category: Large")},
         test::halfSpanNm(35.8),
         AcKind::Large,
         true,
         "",
         ""},
        {"empty model",
         known,
         "",
         known,
         {},
         0.0,
         AcKind::Light,
         true,
         "",
         "71: atc_model= in [General] section of your aircraft.cfg is empty or missing"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        {
            const std::lock_guard lock(userDataMutex);
            userAcTitle.clear();
            userHalfWingSpan.reset();
        }
        {
            const std::lock_guard lock(mainWindowState.statusMutex);
            mainWindowState.statusText.clear();
        }
        mainWindowState.userModelKnown.store(true);
        userAcKind.store(9);
        standin::UserUpdate texts;
        texts.title = c.title;
        texts.atcModel = c.model;
        standin().setUser(texts);
        std::string thrown;
        Lines expected{continuation("SimConnect: User aircraft title: " + c.shownTitle)};
        if (!c.model.empty()) {
            expected.push_back(continuation("model raw: " + c.model));
        }
        expected.insert(expected.end(), c.lines.begin(), c.lines.end());
        EXPECT_EQ(run([] { gf_requestUserAcTitleModel(); }, &thrown), expected);
        EXPECT_EQ(thrown, c.thrown);
        EXPECT_EQ(mainWindowState.displayTexts().userAcTitle, c.shownTitle);
        EXPECT_EQ(userAcTitle, c.shownTitle);
        if (c.thrown.empty()) {
            EXPECT_EQ(userHalfWingSpan.value_or(-1.0), c.span);
            EXPECT_EQ(userAcKind.load(), static_cast<std::uint32_t>(c.kind));
        }
        EXPECT_EQ(mainWindowState.userModelKnown.load(), c.knownMark);
        const std::lock_guard lock(mainWindowState.statusMutex);
        EXPECT_EQ(mainWindowState.statusText, c.status);
    }
}

TEST_F(UserAircraftTest, StandOfTheUserIsShownAndReservedAtRest) {
    connect();
    test::installEddfStands();
    parkAt("EDDF");
    struct Case {
        const char* name;
        GeoPoint user;
        double knots;
        bool flightLoaded;
        std::string shownStand;
        std::string fileAfter;
        ExitReason reason;
    };
    const std::string before = "KJFK,B3\nEDDF\n";
    const Case cases[] = {
        {"100 m away", north(kA12, 100.0), 0.0, false, "", before, ExitReason::NOT_YET_SET},
        {"30 m from A12", north(kA12, 30.0), 0.0, false, "A12", before, ExitReason::NOT_YET_SET},
        {"moving at 3 kt", north(kA12, 30.0), 3.0, true, "A12", before, ExitReason::NEW_FLIGHT},
        {"at rest", north(kA12, 30.0), 0.0, true, "A12", "EDDF,A12\nKJFK,B3\n", ExitReason::NEW_FLIGHT},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        resetExitReasonForRestart();
        test::writeFileBytes(myParkAirportsFile, before);
        {
            const std::lock_guard lock(parkAirportListMutex);
            parkAirportList.front().reservedStand.clear();
        }
        placeAtRest(c.user, c.knots);
        standin().moveUser(userAt(c.user.lat, c.user.lon, 300.0, c.knots));
        run([] { gf_getUserAcPosition(); });
        if (c.flightLoaded) {
            run([&] { standin().sendFlightLoaded("C:\\flights\\eddf.fxml", true); });
        }
        EXPECT_EQ(mainWindowState.displayTexts().userStandText, c.shownStand);
        EXPECT_EQ(test::readFileBytes(myParkAirportsFile), c.fileAfter);
        EXPECT_EQ(exitReason.load(), c.reason);
    }
}

// A Unix socket's file: it stays after its socket is closed, and opening it fails for root too.
void leaveSocketFileAt(const fs::path& path) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const std::string text = path.string();
    ASSERT_LT(text.size(), sizeof address.sun_path);
    std::memcpy(address.sun_path, text.data(), text.size());
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    ASSERT_GE(fd, 0);
    EXPECT_EQ(::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
    ::close(fd);
}

// Only a file that is not there may be started afresh: writing the one line over a file that is there but
// cannot be read would lose every other park airport.
TEST_F(UserAircraftTest, AParkAirportFileThatCannotBeReadIsLeftAlone) {
    parkAt("EHAM");
    fs::create_directories(myParkAirportsFile.parent_path());
    struct Case {
        const char* name;
        std::function<void()> prepare;
        bool needsNonRoot;
    };
    const Case cases[] = {
        {"a socket file, which no one can open", [] { leaveSocketFileAt(myParkAirportsFile); }, false},
        {"no read permission",
         [] {
             test::writeFileBytes(myParkAirportsFile, "EDDF,A1\nKJFK,B7\n");
             fs::permissions(myParkAirportsFile, fs::perms::owner_write);
         },
         true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        if (c.needsNonRoot && ::geteuid() == 0) {
            continue; // root reads every file
        }
        c.prepare();
        const auto before = fs::symlink_status(myParkAirportsFile);
        {
            const std::lock_guard lock(parkAirportListMutex);
            EXPECT_FALSE(gf_writeMyParkAirports());
        }
        EXPECT_EQ(fs::symlink_status(myParkAirportsFile).type(), before.type()) << "the file was replaced";
        fs::remove(myParkAirportsFile);
    }
}

class UserAircraftThreads : public UserAircraftTest {};

TEST_F(UserAircraftThreads, WaitEndsWhenTheUserIsKnownOrTheRunStops) {
    struct Case {
        const char* name;
        bool simRunning;
        GeoPoint user;
        bool tick;  // a one-second reply comes
        bool known; // the wait ends with true; else the run is stopped
    };
    const Case cases[] = {{"known after a tick", true, kA12, true, true},
                          {"a tick without a position", true, {0.0, 0.0}, true, false},
                          {"stopped before the tick", true, kA12, false, false},
                          {"stopped while no flight runs", false, kA12, false, false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        stopClientThread();
        gf_resetSimLink();
        resetExitReasonForRestart();
        oneSecondPending.store(false);
        auto options = standinOptions();
        options.userObjectId = 7;
        options.simRunningOnSubscribe = c.simRunning;
        auto& sim = startStandin(options);
        sim.setUser(userAt(c.user.lat, c.user.lon, 300.0, 0.0));
        startClientThread();
        auto waited = std::async(std::launch::async, [] { return lf_waitForUserAircraft(); });
        if (c.simRunning) {
            // Polls answered, but no on-ground state yet: the wait goes on.
            ASSERT_TRUE(sim.waitFor([&] { return requestsOf(sim, simid::kRequestUserPosition) >= 3; },
                                    test::kLivenessBound));
            EXPECT_EQ(waited.wait_for(std::chrono::seconds(0)), std::future_status::timeout);
            EXPECT_FALSE(oneSecondPending.load());
        } else {
            ASSERT_TRUE(sim.waitFor([&] { return !sim.connections().empty(); }, test::kLivenessBound));
        }
        if (c.tick) {
            sim.advanceClock(1000);
            EXPECT_TRUE(sim.waitFor([] { return oneSecondPending.load(); }, test::kLivenessBound));
        }
        if (!c.known) {
            EXPECT_EQ(waited.wait_for(std::chrono::seconds(0)), std::future_status::timeout);
            gf_setExitReason(ExitReason::USER_CLOSED_SIM, 0);
        }
        ASSERT_EQ(waited.wait_for(test::kLivenessBound), std::future_status::ready);
        EXPECT_EQ(waited.get(), c.known);
        if (c.known) {
            EXPECT_EQ(userAcObjectId.load(), 7U);
            EXPECT_TRUE(sim.waitFor([&] { return requestsOf(sim, simid::kRequestUserModel) == 1; },
                                    test::kLivenessBound));
        }
    }
}

TEST_F(UserAircraftThreads, ClosingSurvivesAnUnwritableParkAirportFile) {
    auto& sim = startStandin();
    test::installEddfStands();
    parkAt("EDDF");
    placeAtRest(kA12, 0.0);
    fs::create_directories(myParkAirportsFile);
    startClientThread();
    ASSERT_TRUE(sim.waitFor([&] { return !sim.connections().empty() && sim.connections()[0].opened; },
                            test::kLivenessBound));
    gf_setExitReason(ExitReason::USER_CLOSED_SIM, 0);
    stopClientThread();
    EXPECT_TRUE(waitForLog("==> airports/my_park_airports.txt could not be written"));
    EXPECT_TRUE(sim.waitFor([&] { return !sim.connections()[0].open; }, test::kLivenessBound));
    EXPECT_TRUE(fs::is_directory(myParkAirportsFile));
}

} // namespace
} // namespace zeph
