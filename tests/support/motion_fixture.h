#pragma once
#include <optional>
#include <vector>

#include "settings/parameter_table.h"
#include "sim/flight_plans.h"
#include "support/aircraft_fixture.h"
#include "support/airport_fixture.h"
#include "support/fake_simulator.h"
#include "support/log_fixture.h"
#include "support/traffic_builders.h"
#include "traffic/traffic_tables.h"

// Tests of moving live aircraft. fresh() starts each case: empty tables, no park airport, a new fake, the
// pass clock at kNow, the user on the ground at 47.05 N 8.10 E, RANDOM off, RANGE 40.

namespace zeph::test {

class MotionFixture : public LogFixture {
protected:
    static constexpr std::int64_t kNow = 10000;

    void SetUp() override {
        LogFixture::SetUp();
        fresh();
    }
    void TearDown() override {
        fresh();
        LogFixture::TearDown();
    }
    void fresh() {
        lf_clearTrafficTables();
        clearTestParkAirport();
        fake_.reset();
        fake_.emplace();
        tickCounter = kNow;
        flightPlanFolder = dir();
        RANDOM.setValue(false);
        AIRBORNE_ONLY.setValue(false);
        RANGE.setValue(40);
        placeUserAircraft(UserAcPosition{.latitude = 47.05, .longitude = 8.10}, true);
    }
    // TST123, an active B738 (object 100) flying north at 47 N 8 E, 12,000 ft, 300 kt; its stream the head at
    // that point, due now, then `next`. The record is the last of liveAcTable.
    LiveAc& aircraft(const std::vector<StreamPos>& next = {}) {
        LiveAc a = makeLiveAc({.hexid = 4000001,
                               .callsign = "TST123",
                               .airline = "TST",
                               .registration = "D-ABCD",
                               .distanceNm = 0.0,
                               .altitude = 12000.0,
                               .groundSpeed = 300.0,
                               .track = 0.0},
                              AcState::active, 100);
        a.position.latitude = a.stream[0].latitude = 47.0;
        a.position.longitude = a.stream[0].longitude = 8.0;
        a.stream[0].duePass = kNow;
        a.phase = AcPhase::flying;
        a.stream.insert(a.stream.end(), next.begin(), next.end());
        return liveAcTable.emplace_back(std::move(a));
    }
    // `from` moved metres along a bearing, not stationary, due `after` passes after it.
    static StreamPos moved(const StreamPos& from, double bearingDeg, double metres,
                           std::int64_t after = 1000) {
        return movedPosition(from, bearingDeg, metres, after);
    }

    TestAircraft fleet_;
    std::optional<FakeSimulator> fake_;
};

} // namespace zeph::test
