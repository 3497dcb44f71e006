#include <algorithm>
#include <atomic>
#include <filesystem>
#include <functional>
#include <numbers>
#include <optional>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include <fmt/format.h>
#include <gtest/gtest.h>

#include "airports/airport_database.h"
#include "airports/airport_file_format.h"
#include "airports/auto_range.h"
#include "airports/park_airport_list.h"
#include "airports/stands.h"
#include "realtraffic/traffic_reader.h"
#include "realtraffic/udp_readers.h"
#include "settings/airport_settings.h"
#include "settings/data_tree.h"
#include "settings/range.h"
#include "settings/xml_parameters.h"
#include "sim/user_aircraft.h"
#include "state/main_window_state.h"
#include "state/run_state.h"
#include "state/status_line.h"
#include "support/motion_fixture.h"
#include "support/parameters_files.h"
#include "support/pass_harness.h"
#include "support/recording_control_sink.h"
#include "support/week_clock.h"
#include "traffic/max_fit.h"
#include "traffic/park_airport_status.h"

namespace zeph {
namespace {

namespace fs = std::filesystem;

// Three stands of ZZPA.xml hold a real use of Wednesday, 9:00 to 15:30.
std::vector<std::string> threeUses() {
    std::vector<std::string> opts;
    for (int k = 0; k < 3; ++k)
        opts.push_back(
            fmt::format(R"(<opt reg="D-AIM{0}" airl="DLH" type="A320" day="3" hh="18:30" cs="DLH{0}"/>)", k));
    return opts;
}

class ParkAirportStatus : public test::MotionFixture {
protected:
    void SetUp() override {
        MotionFixture::SetUp();
        test::resetParametersForTests(dir() / "AppData");
        RANDOM.setValue(false), clock_.set(WeekSlot{3, 20});
        test::installParkAirportFiles(threeUses());
        lf_readMyParkAirports();
    }
    void TearDown() override {
        lf_resetParkAirport(), resetAirportDatabaseForTests(), resetMainWindowStateForTests();
        MotionFixture::TearDown();
    }
    // The user aircraft distanceNm from ZZPA along bearingDeg, heightFt above the ground.
    static void userAt(double distanceNm, double bearingDeg, bool onGround, double heightFt = 0.0) {
        const GeoPoint at = gf_destinationPoint(
            test::kParkAirportPosition, bearingDeg * std::numbers::pi / 180.0, distanceNm * kFeetPerNm);
        test::placeUserAircraft(
            UserAcPosition{.latitude = at.lat, .longitude = at.lon, .altitudeAboveGround = heightFt},
            onGround);
    }
    static std::string status() {
        const std::lock_guard lock(mainWindowState.statusMutex);
        return mainWindowState.statusText;
    }
    static std::string learnedBytes() {
        return fs::exists(test::parkAirportLearnedFile())
                   ? test::readFileBytes(test::parkAirportLearnedFile())
                   : "";
    }
    test::RecordingControlSink sink_;
    test::WeekClock clock_{WeekSlot{3, 20}};
};

TEST_F(ParkAirportStatus, EnteringLoadsAndCalculatesThenFlyingOutGivesItUp) {
    userAt(100.0 / 1852.0, 180.0, true);
    lf_checkParkAirport(1);
    EXPECT_TRUE(logHas("User aircraft on the ground at ZZPA") && logHas("The park airport is ZZPA (ZPA)"));
    EXPECT_EQ(mainWindowState.displayTexts().parkAirportCode, "ZZPA (ZPA)");
    EXPECT_EQ(status(), "Calculating static parked aircraft ...");
    EXPECT_TRUE(!logHas("Calculating static parked aircraft ...") && staticRenewalBusy.load());
    renewalCountdown.store(3);
    lf_checkParkAirport(0);
    EXPECT_EQ(std::make_tuple(mainWindowState.standCount.load(), mainWindowState.parkFileFound.load(),
                              renewalCountdown.load()),
              std::make_tuple(10UL, true, 20));
    EXPECT_TRUE(logHas("3 positions (30% vs wanted 30%, with Max fit=24.0 hours)"));
    test::PassHarness(*fake_).run(500); // a static built every 50 passes, created, active 200 passes later
    const auto& made = fake_->creations();
    ASSERT_EQ(made.size(), 3U);
    for (std::size_t k = 0; k < made.size(); ++k) {
        const StaticAc& s = staticAcTable[k];
        const ParkPos& stand = *gf_standByNumber(s.standNumber);
        EXPECT_EQ(
            std::make_tuple(made[k].hexid, made[k].position.latitude, made[k].position.longitude, s.state),
            std::make_tuple(s.hexid, stand.latitude, stand.longitude, AcState::active));
        EXPECT_EQ(k == 0 ? 50 : made[k].pass - made[k - 1].pass, 50);
    }
    lf_checkParkAirport(0);
    EXPECT_EQ(std::make_tuple(staticRenewalBusy.load(), renewalCountdown.load(), status()),
              std::make_tuple(false, 20, std::string()));
    clock_.stepHalfHours(1);
    lf_parkingAdjustments();
    EXPECT_TRUE(logHas("Parking adjustments: 0 to be removed, 0 to be added"))
        << "half an hour later the same three fit";

    LiveAc& parked = liveAcTable.emplace_back(
        test::makeLiveAc({.hexid = 4000001, .callsign = "KLM1"}, AcState::active, 91));
    parked.phase = AcPhase::parked, parked.standNumber = 5;
    liveAcTable.emplace_back(test::makeLiveAc({.hexid = 4000002, .callsign = "KLM2"}, AcState::active, 92))
        .phase = AcPhase::flying;
    LiveAc& parking = liveAcTable.emplace_back(
        test::makeLiveAc({.hexid = 4000003, .callsign = "KLM3"}, AcState::active, 93));
    parking.phase = AcPhase::parking, parking.standNumber = 6;
    LiveAc& respawning =
        liveAcTable.emplace_back(test::makeLiveAc({.hexid = 4000004, .callsign = "KLM4"}, AcState::buffer));
    respawning.phase = AcPhase::parked, respawning.standNumber = 7;
    MAX_FIT.setValue(5);
    userAt(25.0, 270.0, true);
    lf_checkParkAirport(0);
    EXPECT_TRUE(parkAirportLoaded.load()) << "on the ground out of range: kept";
    userAt(20.1, 270.0, false, 1000.0);
    lf_checkParkAirport(0);
    EXPECT_TRUE(logHas("10:30:00 ZZPA (ZPA) is out of sight (20.1 nm), parked aircraft will be removed"));
    EXPECT_TRUE(std::all_of(staticAcTable.begin(), staticAcTable.end(),
                            [](const StaticAc& s) { return s.state == AcState::removingfromsim; }));
    EXPECT_EQ(std::make_tuple(liveAcTable[0].state, liveAcTable[1].state, liveAcTable[2].state),
              std::make_tuple(AcState::removingfromsim, AcState::active, AcState::removingfromsim));
    EXPECT_EQ(liveAcTable[2].standNumber, 0U) << "driving onto a stand of the airport left";
    EXPECT_TRUE(liveAcTable[3].remove == 1 && liveAcTable[3].standNumber == 0)
        << "a parked respawn on its way back into the simulator";
    EXPECT_TRUE(fs::exists(test::parkAirportLearnedFile()));
    EXPECT_TRUE(standList.empty() && parkAirportRecord.code.empty() &&
                mainWindowState.displayTexts().parkAirportCode.empty());
    EXPECT_EQ(MAX_FIT.get(), 47) << "the user's setting is back";
    const auto calls = sink_.calls();
    for (const char* call :
         {"enable Now false", "enable Flush static false", "showComboValue MAX_LIVE_SEL 500"}) {
        EXPECT_NE(std::find(calls.begin(), calls.end(), call), calls.end()) << call;
    }
}

TEST_F(ParkAirportStatus, ChoosingAParkAirport) {
    struct Case {
        const char* name;
        double nm;
        double bearing;
        bool onGround;
        double height;
        std::string line;
    };
    const Case cases[] = {
        {"at ZZPB without file", 15.0, 90.0, true, 0.0,
         "User aircraft on the ground at ZZPB, no airport file found"},
        {"no airport near", 6.0, 270.0, true, 0.0,
         "User aircraft on the ground, no RT supported airport in sight"},
        {"in sight", 19.9, 270.0, false, 17000.0, "ZZPA in sight at 19.9 nm"},
        {"too far", 20.1, 270.0, false, 17000.0, ""},
        {"too high", 19.9, 270.0, false, 18001.0, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        gf_clearStatus(), userAt(c.nm, c.bearing, c.onGround, c.height);
        lf_checkParkAirport(0);
        EXPECT_EQ(status(), c.line);
        EXPECT_EQ(loadPending, !c.line.empty() && !c.onGround);
        loadPending = false, setParkAirportRecord({});
    }
}

// Each load error leaves no park airport, the user's MAX_FIT and the learned file as they were.
TEST_F(ParkAirportStatus, LoadErrorsLeaveNoParkAirportAndNothingChanged) {
    const auto edit = [](const std::function<void(std::string&)>& change) {
        std::string bytes = test::readFileBytes("airports/my_thirdparty/ZZPA.xml");
        change(bytes);
        test::writeFileBytes("airports/my_thirdparty/ZZPA.xml", bytes);
    };
    const auto noStands = [&] {
        edit([](std::string& b) {
            b.erase(b.find("<parkpos "), b.find("</parkpositions>") - b.find("<parkpos "));
        });
        MAX_FIT.setValue(9); // the learned file's setting
        fs::create_directories(fs::path(test::parkAirportLearnedFile()).parent_path());
        gf_writeApf(ApfData{"ZZPA", "Test Park Airport", "", "Test Publisher", 0, 0, 0, 4950, {}},
                    test::parkAirportLearnedFile(), 0, 3);
        MAX_FIT.setValue(47);
    };
    struct Case {
        const char* name;
        std::function<void()> arrange;
        std::string code;
        std::string error;
    };
    const Case cases[] = {
        {"no file", [] {}, "ZZPC", "lf_readParkedFile ZZPC not found"},
        {"no stands", noStands, "ZZPA", "no stands found"},
        {"a repeated stand id",
         [&] {
             test::installParkAirportFiles(),
                 edit([](std::string& b) { b.replace(b.find("\"G2\""), 4, "\"G1\""); });
         },
         "ZZPA", "94: Parking position 'G1' appears more than once."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        c.arrange();
        const std::string learnedBefore = learnedBytes();
        ASSERT_TRUE(lf_logParkAirport(c.code));
        loadPending = true;
        lf_checkParkAirport(0);
        EXPECT_TRUE(status() == c.error && logHas(c.error)) << status();
        EXPECT_TRUE(parkAirportRecord.code.empty() && !parkAirportLoaded.load() && standList.empty() &&
                    MAX_FIT.get() == 47);
        EXPECT_EQ(learnedBytes(), learnedBefore);
    }
}

TEST_F(ParkAirportStatus, ListOrderReservedStandAndAverageFit) {
    const auto entry = [](const char* code, double nm) {
        const GeoPoint at =
            gf_destinationPoint(test::kParkAirportPosition, std::numbers::pi, nm * kFeetPerNm);
        return ParkAirport{code, "", at.lat, at.lon, 0.0};
    };
    const auto order = [] {
        std::string text;
        for (const ParkAirport& p : parkAirportList)
            text += fmt::format("{} {:.0f} ", p.code, p.distance);
        return text;
    };
    userAt(0.0001, 0.0, false, 50000.0);
    for (const auto& [destination, expected] : {std::pair{"", "B 5 C 8 A 12 "}, {"EDDF", "A 12 B 5 C 8 "}}) {
        DESTINATION.set(destination), lastUserPosition = {};
        parkAirportList = {entry("A", 12.0), entry("B", 5.0), entry("C", 8.0)};
        lf_checkParkAirport(0);
        EXPECT_EQ(order(), expected);
    }
    parkAirportList.back().distance = 1.0;
    lf_checkParkAirport(0);
    EXPECT_EQ(order(), "A 12 B 5 C 1 ") << "an unchanged position refreshes the first entry only";
    DESTINATION.set("");

    test::writeFileBytes(myParkAirportsFile, "ZZPA,G1\n");
    lf_readMyParkAirports(), userAt(0.0, 0.0, true), lf_logParkAirport("ZZPA");
    ASSERT_EQ(lf_readParkedFile(), "");
    staticAcTable = {
        test::makeStaticAc({.hexid = 7, .standNumber = 2, .state = AcState::active, .objectId = 70})};
    test::writeFileBytes(myParkAirportsFile, "ZZPA,G2\n");
    std::string text;
    EXPECT_TRUE(lf_checkReservedStand(1, text) && text == "reserved stand changed from 'G1' to 'G2'") << text;
    EXPECT_TRUE(!gf_findStand("G1")->reserved && gf_findStand("G2")->reserved && reservedStandCopy() == "G2");
    EXPECT_EQ(staticAcTable[0].state, AcState::removingfromsim);
    text.clear();
    EXPECT_TRUE(lf_checkReservedStand(1, text) && text == "park airports and stands are okay") << text;
    fs::remove(myParkAirportsFile), fs::create_directory(myParkAirportsFile);
    EXPECT_FALSE(lf_checkReservedStand(1, text));

    struct Fit {
        std::vector<WeekSlot> parked;
        WeekSlot now;
        float hours;
    };
    for (const Fit& f : {Fit{{{3, 20}, {3, 18}, {3, 16}}, {3, 20}, 1.5F}, Fit{{{7, 47}}, {1, 1}, 1.5F},
                         Fit{{}, {3, 20}, 0.0F}}) {
        clock_.set(f.now), staticAcTable.clear();
        for (const WeekSlot& at : f.parked) {
            StaticAc& s = staticAcTable.emplace_back(test::makeStaticAc({.state = AcState::active}));
            s.parkingDay = at.day, s.parkingHalfHour = at.slot;
        }
        EXPECT_EQ(lf_countStaticAc(1), static_cast<std::int64_t>(f.parked.size()));
        EXPECT_FLOAT_EQ(mainWindowState.staticAverageFit.load(), f.hours);
    }
    mainWindowState.weekMode.store(true), staticAcTable = {test::makeStaticAc({.state = AcState::active})};
    lf_countStaticAc(1);
    EXPECT_FLOAT_EQ(mainWindowState.staticAverageFit.load(), 0.0F) << "kept while weekMode is set";
}

// The learned file (or a handmade one) holds the three uses; their callsigns are live again, so the first
// calculation uses each of them up. The save after it still holds every use it read.
TEST_F(ParkAirportStatus, AUseUsedUpByTheCalculationIsStillSaved) {
    const std::string withUses = test::readFileBytes("airports/my_thirdparty/ZZPA.xml");
    for (const bool handmade : {false, true}) {
        SCOPED_TRACE(handmade ? "handmade" : "learned");
        std::string learned = withUses;
        if (handmade) {
            learned.insert(learned.find("<parameters>") + 12, R"(<parameter name="handmade" value="true"/>)");
        }
        test::installParkAirportFiles();
        fs::create_directories(fs::path(test::parkAirportLearnedFile()).parent_path());
        test::writeFileBytes(test::parkAirportLearnedFile(), learned);
        trafficReader.startCallsignCollection();
        for (const char* callsign : {"DLH0", "DLH1", "DLH2"})
            trafficReader.collectCallsign(callsign);
        ASSERT_TRUE(lf_logParkAirport("ZZPA"));
        ASSERT_EQ(lf_readParkedFile(), "");
        lf_staticPositionsReport();
        EXPECT_TRUE(staticPlan.empty() && logHas("no parking positions found"));
        lf_resetParkAirport();
        const std::string saved = learnedBytes();
        std::size_t opts = 0;
        for (auto at = saved.find("<opt "); at != std::string::npos; at = saved.find("<opt ", at + 1))
            ++opts;
        EXPECT_EQ(opts, 3U) << saved;
        for (int k = 0; k < 3; ++k)
            EXPECT_NE(saved.find(fmt::format(
                          R"(reg="D-AIM{0}" airl="DLH" type="A320" day="3" hh="18:30" cs="DLH{0}")", k)),
                      std::string::npos)
                << k;
    }
}

// The learned file keeps the settings in effect at the airport when it is left; the user's come back after.
TEST_F(ParkAirportStatus, LeavingSavesTheAirportsSettingsAndRestoresTheUsers) {
    using Settings = std::tuple<std::int32_t, std::int32_t, bool>; // parking_percentage, RANGE, AUTO_RANGE
    const auto apply = [](const Settings& s) {
        const auto [percent, range, automatic] = s;
        parking_percentage.set(percent), AUTO_RANGE.set(automatic), RANGE.set(range), gf_setRange(range);
    };
    const auto storedIn = [](const fs::path& file) {
        pugi::xml_document doc;
        doc.load_file(file.c_str());
        return Settings{gf_getIntParameter(doc, "parking_percentage").value_or(-1),
                        gf_getIntParameter(doc, "RANGE").value_or(-1),
                        gf_getBoolParameter(doc, "AUTO_RANGE").value_or(false)};
    };
    const Settings user{30, 10, false};
    struct Case {
        const char* name;
        Settings user;
        std::optional<Settings> learned;
        std::int32_t databaseStands;
        std::optional<Settings> chosenThere;
        Settings saved;
    };
    const Case cases[] = {
        {"learned 50 %", user, Settings{50, 40, false}, 10, {}, {50, 40, false}},
        {"first visit of a two-stand airport", user, {}, 2, {}, {50, 10, false}},
        {"learned 50 %, 70 % chosen there",
         user,
         Settings{50, 40, false},
         10,
         Settings{70, 80, false},
         {70, 80, false}},
        {"auto range on: the chosen 65 and 40 nm, not its 10",
         {30, 40, true},
         Settings{50, 65, true},
         10,
         {},
         {50, 65, true}},
    };
    userAt(100.0 / 1852.0, 180.0, true); // on the ground, where the auto range chooses 10 nm
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        fs::remove(test::parkAirportLearnedFile());
        if (c.learned) {
            apply(*c.learned);
            fs::create_directories(fs::path(test::parkAirportLearnedFile()).parent_path());
            gf_writeApf(ApfData{"ZZPA", "Test Park Airport", "", "Test Publisher", 0, 0, 0, 4950, {}},
                        test::parkAirportLearnedFile(), 0, 3);
        }
        apply(c.user), lf_applyAutoRange();
        airportTable.front().stands = c.databaseStands;
        ASSERT_TRUE(lf_logParkAirport("ZZPA"));
        loadPending = true, lf_checkParkAirport(0);
        if (c.chosenThere) {
            apply(*c.chosenThere);
        }
        lf_resetParkAirport();
        EXPECT_EQ(storedIn(test::parkAirportLearnedFile()), c.saved);
        EXPECT_EQ(std::tuple(parking_percentage.get(), RANGE.get(), AUTO_RANGE.get()), c.user);
        EXPECT_EQ(storedIn(parametersFile()), c.user) << "parameters.xml";
    }
}

// A save that throws still ends the leave, so closing down after it neither leaves again nor saves the
// user's restored settings into the airport's file.
TEST_F(ParkAirportStatus, AThrowingSaveEndsTheLeave) {
    parking_percentage.set(30);
    ASSERT_TRUE(lf_logParkAirport("ZZPA"));
    loadPending = true, lf_checkParkAirport(0), parking_percentage.setValue(70);
    const float hours = MAX_FIT_FL.get();
    MAX_FIT_FL.setValue(1e12F); // the writer's half-hour count cannot hold it: the save throws
    EXPECT_ANY_THROW(lf_resetParkAirport());
    MAX_FIT_FL.setValue(hours);
    EXPECT_TRUE(!parkAirportLoaded.load() && parkAirportRecord.code.empty());
    EXPECT_EQ(parking_percentage.get(), 30);
    if (!parkAirportRecord.code.empty()) { // what closing down does
        lf_resetParkAirport();
    }
    EXPECT_FALSE(fs::exists(test::parkAirportLearnedFile())) << "no second save";
}

using ParkAirportThreads = ParkAirportStatus;

// The simulator link's client thread reads the stands, the park airport and the list while the traffic
// thread enters and leaves the park airport.
TEST_F(ParkAirportThreads, ReadersSeeOneWholeAirportOrNone) {
    userAt(0.0, 0.0, true);
    std::atomic<bool> done{false};
    std::atomic<int> torn{0}; // snapshots that mix two airports
    std::thread reader([&] {
        while (!done.load()) {
            gf_closestStandId(test::parkAirportStandPoint(1)), lf_checkUserAirport();
            const ParkAirportSnapshot seen = parkAirportSnapshot();
            const bool whole = seen.code.empty()
                                   ? seen.altitude == 0.0
                                   : seen.code == "ZZPA" && seen.altitude == test::kParkAirportAltitude &&
                                         seen.position.lat == test::kParkAirportPosition.lat;
            torn += whole ? 0 : 1;
        }
    });
    for (int visit = 0; visit < 200; ++visit) {
        lf_logParkAirport("ZZPA");
        EXPECT_EQ(lf_readParkedFile(), "");
        lf_resetParkAirport();
    }
    done = true;
    reader.join();
    EXPECT_EQ(torn.load(), 0);
}

} // namespace
} // namespace zeph
