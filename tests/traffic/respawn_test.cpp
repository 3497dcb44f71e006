#include <functional>
#include <numbers>

#include <gtest/gtest.h>

#include "aircraft/livery_memory.h"
#include "aircraft/matching_tables.h"
#include "aircraft/regcode_passes.h"
#include "airports/stands.h"
#include "model/flight_texts.h"
#include "settings/parameter_table.h"
#include "support/airport_fixture.h"
#include "support/motion_fixture.h"
#include "support/pass_harness.h"
#include "traffic/respawn.h"

namespace zeph {
namespace {

class Respawn : public test::MotionFixture {
protected:
    // After fresh(): the record of MotionFixture as TST B738 ZRH->FRA with its livery, a report of the same
    // identity, the test park airport.
    LiveAc& known(TrafficReport& report, bool guidChanges = true) {
        fresh();
        test::installTestParkAirport();
        GUID_CHANGES.setValue(guidChanges);
        LiveAc& a = aircraft();
        a.from = "ZRH", a.to = "FRA",
        a.livery = rememberedLiveries[a.hexid] = airlineLiveryTable["TST"]["B738"][0].title;
        report.identity = a;
        report.identity.firstCallsign.clear();
        return a;
    }
};

TEST_F(Respawn, TheIdentityOfAReportDecidesWhetherTheAircraftRespawns) {
    using Set = std::function<void(LiveAc&, TrafficReport&)>;
    struct Case {
        const char* name;
        Set set;
        bool guid, taken;
        const char* identity;
        AcState state;
    };
    const Case cases[] = {
        {"buffer",
         [](LiveAc& a, TrafficReport& r) {
             a.state = AcState::buffer, r.identity = {}, r.identity.from = "MUC",
             r.identity.callsign = "TST9";
         },
         true, true, "TST9 MUC->FRA TST B738", AcState::buffer},
        {"approach", [](LiveAc& a, TrafficReport& r) { a.approach = 1, r.identity.callsign = "TST124"; },
         true, true, "TST123 ZRH->FRA TST B738", AcState::active},
        {"pushing back",
         [](LiveAc& a, TrafficReport& r) {
             a.phase = AcPhase::pushing_back, r.identity.to = "HAM", r.identity.from = "MUC";
         },
         true, true, "TST123 ZRH->FRA TST B738", AcState::active},
        {"new callsign", [](LiveAc&, TrafficReport& r) { r.identity.callsign = "TST124"; }, true, false,
         "TST124 ZRH->FRA TST B738", AcState::liveryrespawn},
        {"GUID_CHANGES off", [](LiveAc&, TrafficReport& r) { r.identity.callsign = "TST124"; }, false, true,
         "TST124 ZRH->FRA TST B738", AcState::active},
        {"callsign = registration", [](LiveAc&, TrafficReport& r) { r.identity.callsign = "D-ABCD"; }, true,
         true, "TST123 ZRH->FRA TST B738", AcState::active},
        {"ghost of itself", [](LiveAc&, TrafficReport& r) { r.identity.callsign = "TST123_"; }, true, false,
         "TST123 ZRH->FRA TST B738", AcState::active},
        {"ghost no more", [](LiveAc& a, TrafficReport&) { a.callsign = "TST123_"; }, true, false,
         "TST123 ZRH->FRA TST B738", AcState::liveryrespawn},
        {"new route", [](LiveAc&, TrafficReport& r) { r.identity.from = "MUC", r.identity.to = "HAM"; }, true,
         false, "TST123 MUC->HAM TST B738", AcState::liveryrespawn},
        {"home again",
         [](LiveAc& a, TrafficReport& r) { a.from = "ZPA", r.identity.from = "HAM", r.identity.to = "ZPA"; },
         true, true, "TST123 ZPA->FRA TST B738", AcState::active},
        {"destination filled", [](LiveAc& a, TrafficReport&) { a.to.clear(); }, true, false,
         "TST123 ZRH->FRA TST B738", AcState::liveryrespawn},
        {"registration's livery",
         [](LiveAc& a, TrafficReport& r) { a.registration.clear(), r.identity.registration = "D-AIMA"; },
         true, false, "TST123 ZRH->FRA DLH A320", AcState::liveryrespawn},
        {"livery, GUID_CHANGES off",
         [](LiveAc& a, TrafficReport& r) { a.registration.clear(), r.identity.registration = "D-AIMA"; },
         false, true, "TST123 ZRH->FRA DLH A320", AcState::active},
        {"already its livery",
         [](LiveAc& a, TrafficReport& r) {
             a.registration.clear(), a.livery = regcodeTitleTable.at("D-AIMA"),
                                     r.identity.registration = "D-AIMA";
         },
         true, true, "TST123 ZRH->FRA TST B738", AcState::active},
        {"registration was callsign",
         [](LiveAc& a, TrafficReport& r) {
             a.callsign = a.registration = r.identity.callsign = "N123AB", r.identity.registration = "D-AEWG";
         },
         true, false, "N123AB ZRH->FRA EWG A320", AcState::liveryrespawn},
        {"callsign's operator",
         [](LiveAc& a, TrafficReport& r) {
             a.callsign = r.identity.callsign = "DLH4AB", r.identity.registration = "D-AIMA";
         },
         true, false, "DLH4AB ZRH->FRA DLH A320", AcState::liveryrespawn},
        {"another operator", [](LiveAc&, TrafficReport& r) { r.identity.registration = "D-AIMA"; }, true,
         true, "TST123 ZRH->FRA TST B738", AcState::active},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TrafficReport report;
        LiveAc& a = known(report, c.guid);
        c.set(a, report);
        EXPECT_EQ(lf_respawnCheck(a, report), c.taken);
        EXPECT_EQ(a.callsign + " " + lf_routeText(a) + " " + gf_airlineTypeKey(a.airline, a.type),
                  c.identity);
        EXPECT_TRUE(a.state == c.state &&
                    removalQueue.size() == (c.state == AcState::liveryrespawn ? 1U : 0U));
        EXPECT_EQ(a.livery.empty(), !std::string(c.identity).ends_with("TST B738")) << "livery forgotten";
        EXPECT_NE(a.phase, AcPhase::birth) << "a real phase";
    }
}

// The new object starts where the old one was: at its place, or on its stand with its heading. Without an
// object the record goes back to buffer at once instead of waiting for a removal that never comes.
TEST_F(Respawn, TheAircraftComesBackWhereItWas) {
    struct Case {
        const char* name;
        bool parked;
        std::uint32_t objectId;
        const char* registration;
        const char* line;
        const char* title;
    };
    const Case cases[] = {
        {"flying", false, 100, "D-ABCD", "==>           TST124   D-ABCD   ZRH->FRA respawns",
         "Test Air B738"},
        {"parked on A2", true, 100, "D-ABCD", "==>           TST124   D-ABCD   ZRH->FRA respawns",
         "Test Air B738"},
        {"no object", false, 0, "D-ABCD",
         "==> TST124   D-ABCD   ZRH->FRA TST B738 removing act liveryRespawn with objectid=0 ?",
         "Test Air B738"},
        {"livery forgotten", false, 100, "D-AIMA", "==>           TST124   D-AIMA   ZRH->FRA respawns",
         "Lufthansa A320 D-AIMA"},
        {"parked, livery forgotten", true, 100, "D-AIMA", "==>           TST124   D-AIMA   ZRH->FRA respawns",
         "Lufthansa A320 D-AIMA"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TrafficReport report;
        LiveAc& a = known(report);
        a.objectId = c.objectId, a.position.heading = std::numbers::pi / 2,
        report.identity.callsign = "TST124";
        a.registration = report.identity.registration == c.registration ? a.registration : "";
        report.identity.registration = c.registration;
        if (c.parked) {
            a.phase = AcPhase::parked, a.standNumber = 2, a.onGround = 1, a.stream[0].airborne = 0;
            a.position.latitude = a.stream[0].latitude = gf_standByNumber(2)->latitude;
            a.position.longitude = a.stream[0].longitude = gf_standByNumber(2)->longitude;
            gf_occupyStand(2, a.hexid); // as its creation left it
        }
        EXPECT_FALSE(lf_respawnCheck(a, report));
        EXPECT_EQ(readLog().back(), c.line);
        EXPECT_TRUE(a.stream[0].duePass == tickCounter + 1 && a.respawnFlag == 1 && a.stream.size() == 2);
        EXPECT_EQ(a.state, c.objectId == 0 ? AcState::buffer : AcState::liveryrespawn)
            << "at once without object";
        EXPECT_EQ(a.stream[0].stationary == 1 && a.stream[1].track == 90.0, c.parked);
        test::PassHarness(*fake_).run(300);
        ASSERT_TRUE(fake_->creations().size() == 1 &&
                    fake_->removals().size() == (c.objectId == 0 ? 0U : 1U));
        const auto& made = fake_->creations()[0];
        EXPECT_TRUE(made.callsign == "TST124" && made.position.heading == 90.0 &&
                    made.position.onGround == (c.parked ? 1U : 0U));
        EXPECT_EQ(made.title + " " + std::string(gf_rememberedLivery(a.hexid)),
                  std::string(c.title) + " " + c.title);
        EXPECT_EQ(liveAcTable[0].phase, c.parked ? AcPhase::parked : AcPhase::flying);
        EXPECT_TRUE(!c.parked || liveAcTable[0].standNumber == 2U) << "its own stand";
    }
    TrafficReport report; // parked, and no livery for the new owner: erased, its stand freed
    LiveAc& a = known(report);
    a.phase = AcPhase::parked, a.standNumber = 2, gf_occupyStand(2, a.hexid);
    report.identity.registration = "PH-BXA", a.registration.clear();
    const std::int32_t depth = MATCHING_DEPTH.get();
    MATCHING_DEPTH.setValue(1);
    lf_respawnCheck(a, report), test::PassHarness(*fake_).run(300);
    MATCHING_DEPTH.setValue(depth);
    EXPECT_TRUE(liveAcTable.empty() && !gf_standByNumber(2)->occupied);
}

} // namespace
} // namespace zeph
