#include "airports/stands.h"

#include <atomic>
#include <limits>
#include <thread>

#include <gtest/gtest.h>

#include "model/records.h"
#include "sim/user_aircraft.h"
#include "state/main_window_state.h"
#include "support/aircraft_fixture.h"
#include "support/log_fixture.h"
#include "support/recording_window_port.h"

namespace zeph {
namespace {

constexpr GeoPoint kHere{50.0, 8.0};
constexpr double kNan = std::numeric_limits<double>::quiet_NaN();
enum class Use { None, Real, Soft, IdZero };
struct StandSpec {
    const char* id;
    double metres; // east of kHere
    double radiusMetres;
    bool occupied = false;
    bool heli = false;
    Use use = Use::None;
};

AcProfile aircraft(AcKind kind = AcKind::Large, double radius = test::halfSpanNm(35.8)) {
    AcProfile profile;
    profile.callsign = "KLM12";
    profile.airline = "KLM";
    profile.type = "B738";
    profile.radius = radius;
    profile.kind = kind;
    return profile;
}

void fillStands(const std::vector<StandSpec>& specs) {
    lf_clearParkPositions();
    for (const StandSpec& spec : specs) {
        std::vector<StandUse> uses;
        if (spec.use != Use::None) {
            uses.push_back(StandUse{"DLH",
                                    "A320",
                                    "D-X",
                                    "KLM12",
                                    "",
                                    {},
                                    spec.use == Use::IdZero ? 0U : 1U,
                                    1,
                                    0,
                                    spec.use == Use::Soft ? 0U : 1U,
                                    0});
        }
        const GeoPoint at = gf_destinationPoint(kHere, kTwoPi / 4.0, spec.metres / kMetresPerNm * kFeetPerNm);
        gf_appendStand(
            ParkPos(spec.id, std::move(uses), at, 0.0, spec.radiusMetres, false, false, spec.heli));
        standList.back().occupied = spec.occupied;
    }
}

std::string found(GeoPoint at, const AcProfile& profile, bool useLearned) {
    const auto stand = gf_findStandFor(at, profile, 0.029697624190064796, useLearned);
    return stand == standList.end() ? "end" : stand->id;
}

TEST(Stands, StandForAnAircraft) {
    const double half = aircraft().radius * kMetresPerNm;
    struct Case {
        const char* name;
        std::vector<StandSpec> stands;
        AcProfile profile;
        bool useLearned;
        std::string expected;
    };
    const Case cases[] = {
        {"misfit at 25 m", {{"S", 25.0, half - 2.0}}, aircraft(), false, "end"},
        {"1.8 m wider fits", {{"S", 40.0, half - 1.8}}, aircraft(), false, "S"},
        {"equal distances", {{"S1", 30.0, 30.0}, {"S2", 30.0, 30.0}}, aircraft(), false, "S1"},
        {"occupied",
         {{"S1", 10.0, 30.0, true}, {"S2", 60.0, 30.0, true, false, Use::Real}},
         aircraft(),
         true,
         "end"},
        {"rotorcraft",
         {{"S", 10.0, 30.0}, {"H", 20.0, 30.0, false, true}},
         aircraft(AcKind::Rotorcraft),
         false,
         "end"},
        {"learned use", {{"S", 60.0, 30.0, false, false, Use::Real}}, aircraft(), true, "S"},
        {"soft use", {{"S", 60.0, 30.0, false, false, Use::Soft}}, aircraft(), true, "end"},
        {"use id 0", {{"S", 60.0, 30.0, false, false, Use::IdZero}}, aircraft(), true, "end"},
        {"nan half span", {{"S", 15.0, 1.0}}, aircraft(AcKind::Large, kNan), false, "end"},
    };
    for (const Case& c : cases) {
        fillStands(c.stands);
        EXPECT_EQ(found(kHere, c.profile, c.useLearned), c.expected) << c.name;
    }
    EXPECT_EQ(found(GeoPoint{kNan, 8.0}, aircraft(), false), "end");
    EXPECT_EQ(gf_closestStandId(GeoPoint{kNan, kNan}), "");
}

TEST(Stands, AMisfitLearnsItsRadiusAndAChangedListForgetsTheCachedStand) {
    const test::RecordingWindowPort window;
    int fakeWindow = 0;
    mainWindowState.mainWindow.store(reinterpret_cast<WindowHandle>(&fakeWindow));
    learnedUpdateCount = 0;
    mainWindowState.learnedUpdates.store(0);
    const AcProfile profile = aircraft();
    fillStands({{"OLD", 15.0, profile.radius * kMetresPerNm - 2.0}});
    ASSERT_EQ(found(kHere, profile, false), "OLD");
    EXPECT_NEAR(standList[0].radius, profile.radius - kNmPerMetre, 1e-12);
    EXPECT_TRUE(standList[0].radiusChanged);
    EXPECT_EQ(learnedUpdateCount, 1U);
    EXPECT_EQ(mainWindowState.learnedUpdates.load(), 1);
    EXPECT_EQ(window.calls(), (std::vector<std::string>{"invalidate 0 392 880 448"}));
    mainWindowState.mainWindow.store(nullptr);
    {
        const std::lock_guard lock(userDataMutex);
        userOnGround = 1;
    }
    EXPECT_EQ(gf_closestStandId(kHere), "OLD");
    fillStands({{"NEW", 15.0, 20.0}});
    EXPECT_EQ(gf_closestStandId(kHere), "NEW");
    // Asked while a read is half way: the stand appended afterwards is the answer.
    fillStands({{"FAR", 500.0, 20.0}});
    EXPECT_EQ(gf_closestStandId(kHere), "");
    gf_appendStand(ParkPos("LATE", {}, kHere, 0.0, 20.0, false, false, false));
    EXPECT_EQ(gf_closestStandId(kHere), "LATE");
}

class StandUses : public test::LogFixture {};

TEST_F(StandUses, AddedNamedAndExtended) {
    const test::TestAircraft fleet;
    ParkPos stand("S", {}, kHere, 0.0, 20.0, false, false, false);
    const AcProfile profile = aircraft();
    EXPECT_EQ(gf_addStandUse(stand, profile, {1, 3}, "DLH4_", "D-AIMA", false), 1U);
    EXPECT_EQ(gf_addStandUse(stand, profile, {1, 3}, "DLH4_", "D-AIMA", false), std::nullopt);
    EXPECT_EQ(gf_addStandUse(stand, profile, {1, 4}, "_", "D-AIMA", false), 2U);
    EXPECT_EQ(gf_addStandUse(stand, profile, {1, 5}, "X", "PH-BXA", true), 3U);
    gf_setStandUseName(stand, 2, "_");
    gf_setStandUseName(stand, 1, "DLH5");
    gf_setStandUseName(stand, 1, "DLH6");
    EXPECT_EQ(stand.uses[0].callsign + ":" + stand.uses[0].callsign2 + stand.uses[1].callsign, "DLH4:DLH6");
    EXPECT_EQ(stand.uses[2].airline + stand.uses[2].type, "TRAB738");
    EXPECT_EQ(gf_slotsBefore({1, 0}, 2), (std::vector<std::uint32_t>{0, 47}));
    std::vector<std::uint32_t> slots;
    lf_walkBackSlots(slots, 3, {3, 1});
    EXPECT_EQ(slots, (std::vector<std::uint32_t>{1, 0, 47}));
    EXPECT_TRUE(updateOptionsWrapped(stand, slots, 1, 2));
    EXPECT_TRUE(stand.uses[0].slots.test(47) && stand.uses[1].slots.test(0));
    EXPECT_EQ(slots, (std::vector<std::uint32_t>{1}));
    slots = {1, 0};
    EXPECT_TRUE(updateOptionsWrapped(stand, slots, 3, 3));
    EXPECT_EQ(stand.uses[2].slots.to_ullong(), 0b100001U) << "only 0 in the new use";
    slots = {48, 7};
    EXPECT_FALSE(updateOptions(stand, slots, 1));
    EXPECT_TRUE(stand.uses[0].slots.test(7));
    EXPECT_EQ(readLog().back(), "==> updateOptions exception:invalid bitset position");
    stand.uses[0].real = 0;
    EXPECT_FALSE(gf_standUseMatches("DLH4", profile, stand.uses[0]));
}

TEST(StandListThreads, ClosestStandWhileTheListIsReRead) {
    {
        const std::lock_guard lock(userDataMutex);
        userOnGround = 1;
    }
    std::atomic<bool> done{false};
    std::jthread reader([&] {
        while (!done.load()) {
            gf_closestStandId(kHere);
        }
    });
    // The nearer stand comes last: an answer of the half-read list names S2.
    int stale = 0;
    for (int k = 0; k < 200; ++k) {
        fillStands({{"S2", 30.0, 20.0}, {"S1", 0.0, 20.0}});
        found(kHere, aircraft(), true);
        stale += gf_closestStandId(kHere) != "S1" ? 1 : 0;
    }
    done.store(true);
    reader.join();
    EXPECT_EQ(stale, 0) << "answers of a half-read list kept after the read";
    lf_clearParkPositions();
}

} // namespace
} // namespace zeph
