#include <cmath>
#include <functional>
#include <numbers>
#include <stdexcept>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "aircraft/ac_profile.h"
#include "aircraft/aircraft_database.h"
#include "core/geodesy.h"
#include "core/random.h"
#include "model/records.h"

namespace zeph {
namespace {

constexpr double kDeg = std::numbers::pi / 180.0;
constexpr const char* kInvalidKey = "invalid unordered_map<K, T> key";

// A small aircraft database: one type of each kind, with wingspans for some of them.
class AircraftTypesTest : public ::testing::Test {
protected:
    void SetUp() override {
        aircraftTypes = {"B738", "A320", "B77W", "C172", "EC35", "LJ45", "F16", "ZZZZ"};
        largeTypes = {"B738", "A320"};
        heavyTypes = {"B77W"};
        buzjetTypes = {"LJ45"};
        rotorcraftTypes = {"EC35"};
        highPerfTypes = {"F16"};
        halfSpanByType = {{"B738", 35.8 * 0.5 * kNmPerMetre},
                          {"A320", 35.8 * 0.5 * kNmPerMetre},
                          {"B77W", 64.8 * 0.5 * kNmPerMetre},
                          {"C172", 11.0 * 0.5 * kNmPerMetre},
                          {"EC35", 10.2 * 0.5 * kNmPerMetre}};
        categoryHalfSpan = {0.001, 0.002, 0.003, 0.004, 0.005, 0.006};
        seedThisThreadForTests(7);
    }
};

void expectInvalidKey(const std::function<void()>& call, const char* name) {
    try {
        call();
        ADD_FAILURE() << name << ": no exception";
    } catch (const std::out_of_range& error) {
        EXPECT_STREQ(error.what(), kInvalidKey) << name;
    }
}

TEST(RecordNames, ValuesToNames) {
    const std::vector<std::string_view> kinds{"Light", "Buzjets", "Large", "Heavy", "HighPerf", "Rotorcraft"};
    const std::vector<std::string_view> phases{"pushing_back", "pushed_back", "taxi",   "take_off",
                                               "flying",       "parking",     "parked", "birth"};
    const std::vector<std::string_view> states{"buffer", "adding2sim", "active", "liveryrespawn",
                                               "removingfromsim"};
    for (std::uint32_t i = 0; i < kinds.size(); ++i) {
        EXPECT_EQ(gf_categoryName(i), kinds[i]) << "kind " << i;
    }
    for (std::uint32_t i = 0; i < phases.size(); ++i) {
        EXPECT_EQ(gf_groundStateName(i), phases[i]) << "phase " << i;
    }
    for (std::uint32_t i = 0; i < states.size(); ++i) {
        EXPECT_EQ(gf_simStateName(i), states[i]) << "state " << i;
    }
    EXPECT_EQ(gf_categoryName(AcKind::Rotorcraft), "Rotorcraft");
    EXPECT_EQ(gf_groundStateName(AcPhase::birth), "birth");
    EXPECT_EQ(gf_simStateName(AcState::removingfromsim), "removingfromsim");
}

TEST(RecordNames, ValueOutsideTheTableThrows) {
    expectInvalidKey([] { (void)gf_categoryName(6); }, "kind 6");
    expectInvalidKey([] { (void)gf_groundStateName(8); }, "phase 8");
    expectInvalidKey([] { (void)gf_simStateName(5); }, "state 5");
    expectInvalidKey([] { (void)gf_simStateName(0xFFFFFFFFU); }, "state 2^32-1");
    expectInvalidKey([] { (void)kindValuesOf(6); }, "kind values 6");
}

TEST_F(AircraftTypesTest, CategoryOfType) {
    struct Case {
        std::string type;
        int kind;
    };
    const std::vector<Case> cases{
        {"B738", 2}, {"B77W", 3}, {"LJ45", 1}, {"EC35", 5}, {"F16", 4},
        {"C172", 0}, {"ZZZZ", 0}, {"", 0},     {"b738", 0},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(gf_categoryOfType(c.type), c.kind) << "type '" << c.type << "'";
    }
}

TEST_F(AircraftTypesTest, TypeInTwoSetsTakesTheFirstOfTheOrder) {
    largeTypes.insert("DUAL");
    heavyTypes.insert("DUAL");
    EXPECT_EQ(gf_categoryOfType("DUAL"), 2);
    heavyTypes.insert("HB");
    buzjetTypes.insert("HB");
    EXPECT_EQ(gf_categoryOfType("HB"), 3);
    buzjetTypes.insert("BR");
    rotorcraftTypes.insert("BR");
    EXPECT_EQ(gf_categoryOfType("BR"), 1);
    rotorcraftTypes.insert("RH");
    highPerfTypes.insert("RH");
    EXPECT_EQ(gf_categoryOfType("RH"), 5);
}

TEST_F(AircraftTypesTest, KnownTypeAndWingspan) {
    aircraftTypes.insert("");
    struct Case {
        std::string type;
        bool known;
        double halfSpan;
    };
    const std::vector<Case> cases{
        {"B738", true, 0.009665226781857451},
        {"C172", true, 11.0 * 0.5 * kNmPerMetre},
        {"LJ45", true, 0.002}, // no wingspan: its category's mean
        {"F16", true, 0.005},
        {"ZZZZ", true, 0.001},
        {"XXXX", false, 0.001},
        {"", false, 0.001},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(gf_isKnownAircraftType(c.type), c.known) << "type '" << c.type << "'";
        EXPECT_DOUBLE_EQ(gf_wingspanOfType(c.type), c.halfSpan) << "type '" << c.type << "'";
    }
}

// Rotation and climb pitch vary by exactly 2.5 and 5 percent, one way or the other.
void expectVariedPitches(const AcProfile& profile, const KindValues& row, const std::string& name) {
    const double rotationUp = row.rotationPitchDeg * 1.025 * kDeg;
    const double rotationDown = row.rotationPitchDeg * 0.975 * kDeg;
    EXPECT_TRUE(std::abs(profile.rotationPitch - rotationUp) < 1e-12 ||
                std::abs(profile.rotationPitch - rotationDown) < 1e-12)
        << name << ": rotation pitch " << profile.rotationPitch;
    const double climbUp = row.climbPitchDeg * 1.05 * kDeg;
    const double climbDown = row.climbPitchDeg * 0.95 * kDeg;
    EXPECT_TRUE(std::abs(profile.climbPitch - climbUp) < 1e-12 ||
                std::abs(profile.climbPitch - climbDown) < 1e-12)
        << name << ": climb pitch " << profile.climbPitch;
}

TEST_F(AircraftTypesTest, ProfileTakesTheRowOfItsKind) {
    struct Case {
        std::string type;
        AcKind kind;
        double rotationDeg, climbDeg, turnDeg, climbStep, slowTaxi;
        std::uint32_t flare, touchDown, rotation, climbPasses;
    };
    const std::vector<Case> cases{
        {"C172", AcKind::Light, -9.0, -15.0, 0.15, 0.5, 5.0, 250, 250, 100, 200},
        {"LJ45", AcKind::Buzjets, -8.0, -18.0, 0.10, 0.75, 4.5, 300, 300, 200, 250},
        {"B738", AcKind::Large, -6.0, -16.5, 0.07, 0.6, 4.0, 400, 350, 200, 300},
        {"B77W", AcKind::Heavy, -5.0, -12.5, 0.05, 0.5, 3.0, 450, 450, 250, 400},
        {"F16", AcKind::HighPerf, -6.0, -20.0, 0.10, 1.0, 4.5, 150, 150, 100, 200},
        {"EC35", AcKind::Rotorcraft, -20.0, -30.0, 0.20, 0.75, 5.0, 100, 100, 100, 100},
        {"QQQQ", AcKind::Light, -9.0, -15.0, 0.15, 0.5, 5.0, 250, 250, 100, 200}, // in no category set
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.type);
        FlightIdentity identity;
        identity.type = c.type;
        const AcProfile profile = gf_makeAcProfile(identity);
        EXPECT_EQ(profile.kind, c.kind);
        EXPECT_EQ(profile.flarePasses, c.flare);
        EXPECT_EQ(profile.touchDownPasses, c.touchDown);
        EXPECT_EQ(profile.rotationPasses, c.rotation);
        EXPECT_EQ(profile.climbPitchPasses, c.climbPasses);
        EXPECT_DOUBLE_EQ(profile.baseTurnRate, c.turnDeg * kDeg);
        EXPECT_DOUBLE_EQ(profile.radius, gf_wingspanOfType(c.type));
        const KindValues& row = kindValuesOf(c.kind);
        EXPECT_EQ(row.rotationPitchDeg, c.rotationDeg);
        EXPECT_EQ(row.climbPitchDeg, c.climbDeg);
        EXPECT_EQ(row.climbStep, c.climbStep);
        EXPECT_EQ(row.slowTaxiSpeed, c.slowTaxi);
        expectVariedPitches(profile, row, c.type);
    }
}

TEST_F(AircraftTypesTest, ProfileLeavesTheCallersFieldsAlone) {
    FlightIdentity identity;
    identity.airline = "DLH";
    identity.type = "B738";
    identity.from = "MUC";
    identity.to = "FRA";
    identity.callsign = "DLH4AB";
    identity.firstCallsign = "DLH3AB";
    identity.coupledCallsign = "DLH5AB";
    identity.registration = "D-ABCD";
    identity.coupledSearchDone = 1;
    const AcProfile profile = gf_makeAcProfile(identity);
    EXPECT_EQ(profile.airline, "DLH");
    EXPECT_EQ(profile.type, "B738");
    EXPECT_EQ(profile.from, "MUC");
    EXPECT_EQ(profile.to, "FRA");
    EXPECT_EQ(profile.callsign, "DLH4AB");
    EXPECT_EQ(profile.firstCallsign, "DLH3AB");
    EXPECT_EQ(profile.coupledCallsign, "DLH5AB");
    EXPECT_EQ(profile.registration, "D-ABCD");
    EXPECT_EQ(profile.coupledSearchDone, 1U);
    EXPECT_DOUBLE_EQ(profile.radius, 0.009665226781857451);
    EXPECT_EQ(profile.turnRate, 0.0);
    EXPECT_EQ(profile.climbStep, 0.0);
    EXPECT_EQ(profile.slowTaxiSpeed, 0.0);
    EXPECT_EQ(profile.staticCgHeight, 0.0);
    EXPECT_EQ(profile.staticPitch, 0.0);
    EXPECT_EQ(profile.hexid, 0U);
    EXPECT_TRUE(profile.livery.empty());
    EXPECT_EQ(profile.cargo, 0);
    EXPECT_EQ(profile.reversedThrottleLivery, 0);
}

TEST_F(AircraftTypesTest, PitchVariesBothWaysAndFollowsTheSeed) {
    FlightIdentity identity;
    identity.type = "C172";
    int rotationUp = 0;
    int climbUp = 0;
    std::vector<double> firstRun;
    for (int i = 0; i < 64; ++i) {
        const AcProfile profile = gf_makeAcProfile(identity);
        expectVariedPitches(profile, kindValuesOf(AcKind::Light), "profile " + std::to_string(i));
        rotationUp += profile.rotationPitch < -9.0 * kDeg ? 1 : 0;
        climbUp += profile.climbPitch < -15.0 * kDeg ? 1 : 0;
        firstRun.push_back(profile.rotationPitch);
        firstRun.push_back(profile.climbPitch);
    }
    EXPECT_GT(rotationUp, 0);
    EXPECT_LT(rotationUp, 64);
    EXPECT_GT(climbUp, 0);
    EXPECT_LT(climbUp, 64);

    seedThisThreadForTests(7);
    for (std::size_t i = 0; i < firstRun.size(); i += 2) {
        const AcProfile profile = gf_makeAcProfile(identity);
        EXPECT_EQ(profile.rotationPitch, firstRun[i]) << "profile " << i / 2;
        EXPECT_EQ(profile.climbPitch, firstRun[i + 1]) << "profile " << i / 2;
    }
}

TEST(Records, DefaultProfileIsLarge) {
    const AcProfile profile;
    EXPECT_EQ(profile.kind, AcKind::Large);
    EXPECT_EQ(profile.radius, 0.0);
    EXPECT_EQ(profile.hexid, 0U);
    EXPECT_TRUE(profile.livery.empty());
    EXPECT_EQ(profile.flarePasses, 0U);
}

AcProfile namedProfile() {
    AcProfile profile;
    profile.callsign = "DLH4AB";
    profile.registration = "D-ABCD";
    profile.type = "A320";
    profile.hexid = 0x3C6444;
    profile.radius = 0.0097;
    profile.kind = AcKind::Large;
    profile.livery = "Airbus A320 Lufthansa";
    profile.rotationPitch = -0.1;
    return profile;
}

TEST(Records, StaticAcConstructor) {
    const StaticAc aircraft(namedProfile(), 3, 48.35, 11.78, 1.5, true);
    EXPECT_EQ(aircraft.callsign, "DLH4AB");
    EXPECT_EQ(aircraft.registration, "D-ABCD");
    EXPECT_EQ(aircraft.hexid, 0x3C6444U);
    EXPECT_EQ(aircraft.radius, 0.0097);
    EXPECT_EQ(aircraft.livery, "Airbus A320 Lufthansa");
    EXPECT_EQ(aircraft.rotationPitch, -0.1);
    EXPECT_EQ(aircraft.standNumber, 3U);
    EXPECT_EQ(aircraft.standLatitude, 48.35);
    EXPECT_EQ(aircraft.standLongitude, 11.78);
    EXPECT_EQ(aircraft.standHeading, 1.5);
    EXPECT_EQ(aircraft.cargoStand, 1);
    EXPECT_EQ(aircraft.objectId, 0U);
    EXPECT_EQ(aircraft.parkingDay, 0U);
    EXPECT_EQ(aircraft.parkingHalfHour, 0U);
    EXPECT_EQ(aircraft.state, AcState::buffer);
    EXPECT_EQ(aircraft.throttleIndex, 5U);
    EXPECT_EQ(aircraft.flapsIndex, 4U);
    EXPECT_EQ(aircraft.gone, 0);
    EXPECT_EQ(aircraft.remove, 0);
    EXPECT_EQ(aircraft.withdrawn, 0);
    EXPECT_EQ(StaticAc(namedProfile(), 0, 0.0, 0.0, 0.0, false).cargoStand, 0);
}

// The initial values shared by a new live aircraft and a default-built one.
void expectLiveStart(const LiveAc& aircraft) {
    EXPECT_EQ(aircraft.state, AcState::buffer);
    EXPECT_EQ(aircraft.phase, AcPhase::birth);
    EXPECT_EQ(aircraft.previousPhase, AcPhase::birth);
    EXPECT_EQ(aircraft.earlyWindow, 1000);
    EXPECT_EQ(aircraft.lateWindow, 1000);
    EXPECT_EQ(aircraft.phaseCountdown, 1);
    EXPECT_EQ(aircraft.heightAboveGround, 2500.0);
    EXPECT_TRUE(std::isnan(aircraft.controlPointEast));
    EXPECT_TRUE(std::isnan(aircraft.controlPointNorth));
    EXPECT_EQ(aircraft.throttleIndex, 5U);
    EXPECT_EQ(aircraft.flapsIndex, 4U);
    EXPECT_EQ(aircraft.objectId, 0U);
    EXPECT_EQ(aircraft.standNumber, 0U);
    EXPECT_EQ(aircraft.standLatitude, 0.0);
    EXPECT_EQ(aircraft.standLongitude, 0.0);
    EXPECT_EQ(aircraft.standHeading, 0.0);
    EXPECT_EQ(aircraft.cargoStand, 0);
    EXPECT_EQ(aircraft.gone + aircraft.remove + aircraft.withdrawn, 0);
    EXPECT_EQ(aircraft.timingMode, 0);
    EXPECT_EQ(aircraft.holdStart, 0);
    EXPECT_EQ(aircraft.landingStage, 0U);
    EXPECT_EQ(aircraft.onGround, 0);
    EXPECT_EQ(aircraft.position.latitude, 0.0);
}

TEST(Records, LiveAcConstructor) {
    StreamPos first;
    first.latitude = 48.1;
    first.longitude = 11.5;
    first.altitude = 3000.0;
    first.duePass = 4000;
    first.airborne = 1;
    first.roll = -0.05;
    const LiveAc aircraft(first, namedProfile(), 1700000000.5);
    expectLiveStart(aircraft);
    EXPECT_EQ(aircraft.callsign, "DLH4AB");
    EXPECT_EQ(aircraft.hexid, 0x3C6444U);
    EXPECT_EQ(aircraft.livery, "Airbus A320 Lufthansa");
    EXPECT_EQ(aircraft.lastReportTime, 1700000000.5);
    ASSERT_EQ(aircraft.stream.size(), 1U);
    EXPECT_EQ(aircraft.stream.front().latitude, 48.1);
    EXPECT_EQ(aircraft.stream.front().longitude, 11.5);
    EXPECT_EQ(aircraft.stream.front().altitude, 3000.0);
    EXPECT_EQ(aircraft.stream.front().duePass, 4000);
    EXPECT_EQ(aircraft.stream.front().airborne, 1);
    EXPECT_EQ(aircraft.stream.front().roll, -0.05);
    EXPECT_FALSE(aircraft.stream.front().trueHeading.has_value());
}

TEST(Records, DefaultLiveAcStartsLikeANewOne) {
    const LiveAc aircraft;
    expectLiveStart(aircraft);
    EXPECT_TRUE(aircraft.stream.empty());
    EXPECT_EQ(aircraft.kind, AcKind::Large);
}

TEST(Records, DuePassHoldsPassesBeyondThirtyOneBits) {
    StreamPos position;
    position.duePass = 2147483645LL + 3000;
    LiveAc aircraft(position, AcProfile{}, 0.0);
    aircraft.holdStart = 2147483648LL;
    EXPECT_EQ(aircraft.stream.front().duePass, 2147486645LL);
    EXPECT_EQ(aircraft.holdStart, 2147483648LL);
}

} // namespace
} // namespace zeph
