// The traffic engine fed with what the Traffic Reader accepts. The input is a timed script of traffic lines
// of four aircraft around the park airport (eight bytes a line: who, when, where, how high and fast, which
// way, and a few variations); each line goes through the real reader and intake into the real 10 ms pass,
// with the fake simulator answering every frame, for a bounded number of passes. After each pass the
// engine's own rules must hold: no aircraft in two tables or twice in one, every simulator object owned by
// one record, every position finite, and no position sent to an object after the simulator was told to remove
// it.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include <fmt/format.h>

#include "fuzz/fuzz_support.h"
#include "realtraffic/report_queue.h"
#include "realtraffic/traffic_reader.h"
#include "settings/parameter_table.h"
#include "settings/range.h"
#include "sim/flight_plans.h"
#include "support/aircraft_fixture.h"
#include "support/airport_fixture.h"
#include "support/fake_simulator.h"
#include "support/traffic_builders.h"
#include "traffic/traffic_pass.h"
#include "traffic/traffic_tables.h"

namespace {

using zeph::fuzz::check;
using zeph::test::kParkAirportAltitude;
using zeph::test::kParkAirportPosition;

constexpr std::size_t kLineBytes = 8;
constexpr std::size_t kMostLines = 48;
constexpr std::int64_t kPassesPerStep = 4;
// After the last line: long enough for its report to fall due (3000 passes) and be flown for a while.
constexpr std::int64_t kTailPasses = 3400;

struct Flight {
    std::uint32_t hexid;
    const char* callsign;
    const char* otherCallsign;
    const char* type;
    const char* category;
};
// Types and airlines with liveries in the test fleet, so that each of them gets a simulator object.
constexpr Flight kFlights[] = {{4000001, "TST101", "TST102", "B738", "A3"},
                               {4000002, "DLH4AB", "DLH4AC", "A320", "A3"},
                               {4000003, "TST303", "TST304", "B738", "A3"},
                               {4000004, "DLH9XY", "DLH9XZ", "A320", "A2"}};

// One line of the script, eight bytes: flight, passes to wait before it (x kPassesPerStep), north and east
// offsets from the park airport (about 120 m a step), height (0 on the ground, else 100 ft a step), ground
// speed (2 kt a step), track, and flags: other callsign, time step back, climbing, descending, a blank
// category, no track.
std::string trafficLine(const std::uint8_t* b, double& reportTime) {
    const Flight& flight = kFlights[b[0] % 4];
    const double latitude = kParkAirportPosition.lat + static_cast<std::int8_t>(b[2]) * 0.001;
    const double longitude = kParkAirportPosition.lon + static_cast<std::int8_t>(b[3]) * 0.0015;
    const double altitude = b[4] == 0 ? 0.0 : kParkAirportAltitude + (b[4] - 16) * 100.0;
    const std::uint8_t flags = b[7];
    reportTime += (flags & 0x02) != 0 ? -5.0 : b[1] * kPassesPerStep / 100.0;
    const int verticalRate = (flags & 0x04) != 0 ? 1200 : (flags & 0x08) != 0 ? -900 : 0;
    const std::string track = (flags & 0x20) != 0 ? std::string{} : fmt::format("{:.1f}", b[6] * 360.0 / 256);
    return fmt::format(
        "T,{},{:.6f},{:.6f},{:.0f},{},,{},{},{},{},PH-TST,ZRH,FRA,{:.2f},,,adsb_icao,,,-1,,,0,,{},,,{}",
        flight.hexid, latitude, longitude, altitude, verticalRate, track, b[5] * 2,
        (flags & 0x01) != 0 ? flight.otherCallsign : flight.callsign, flight.type, reportTime,
        track.empty() ? "0" : track, (flags & 0x10) != 0 ? "" : flight.category);
}

bool finite(std::initializer_list<double> values) {
    for (const double value : values) {
        if (!std::isfinite(value)) {
            return false;
        }
    }
    return true;
}

void checkTables() {
    std::set<std::uint32_t> hexids;
    std::set<std::uint32_t> objects;
    const auto own = [&](const zeph::StaticAc& record) {
        check(hexids.insert(record.hexid).second);
        check(record.objectId == 0 || objects.insert(record.objectId).second);
    };
    for (const zeph::LiveAc& live : zeph::liveAcTable) {
        own(live);
        const zeph::PositionBlock& p = live.position;
        check(finite({p.latitude, p.longitude, p.altitude, p.heading, p.pitch, p.bank}));
        for (const zeph::StreamPos& next : live.stream) {
            check(finite({next.latitude, next.longitude, next.altitude, next.groundSpeed, next.track}));
        }
    }
    for (const zeph::StaticAc& parked : zeph::staticAcTable) {
        own(parked);
    }
}

// Positions the last frame sent: finite, and none to an object removed in an earlier frame.
void checkSent(const zeph::test::FakeSimulator& fake, std::size_t& sentBefore,
               std::set<std::uint32_t>& removed) {
    if (fake.positionCount() != sentBefore) {
        sentBefore = fake.positionCount();
        for (const zeph::AiPositionData& sent : fake.lastPositions()) {
            check(!removed.contains(sent.objectId));
            check(
                finite({sent.latitude, sent.longitude, sent.altitude, sent.heading, sent.pitch, sent.bank}));
        }
    }
    for (const auto& removal : fake.removals()) {
        removed.insert(removal.objectId);
    }
}

zeph::TrafficReader& reader() {
    static zeph::TrafficReader instance;
    return instance;
}

void setUp() {
    static const bool ready = [] {
        zeph::flightPlanFolder = zeph::fuzz::ownFolder("fuzz_traffic_engine");
        zeph::test::installTestAircraft();
        zeph::RANDOM.setValue(false);
        zeph::RANGE.setValue(40);
        zeph::lateralRangeNm.store(40.0);
        return true;
    }();
    (void)ready;
    zeph::lf_clearTrafficTables();
    zeph::test::installTestParkAirport();
    zeph::tickCounter = 10000;
    zeph::test::placeUserAircraft(zeph::UserAcPosition{.latitude = kParkAirportPosition.lat,
                                                       .longitude = kParkAirportPosition.lon,
                                                       .altitude = kParkAirportAltitude},
                                  true);
    reader().setUserPosition(kParkAirportPosition);
    reader().setReferenceElevation(kParkAirportAltitude);
    zeph::setTrafficAccepting(true);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const zeph::fuzz::InOwnFolder inFolder("fuzz_traffic_engine");
    setUp();
    zeph::test::FakeSimulator fake;
    std::set<std::uint32_t> removed;
    std::size_t sent = 0;
    const auto pass = [&] {
        zeph::lf_handleAddingStack();
        fake.frame();
        checkTables();
        checkSent(fake, sent, removed);
    };
    double reportTime = 1733560000.0;
    const std::size_t lines = std::min(size / kLineBytes, kMostLines);
    for (std::size_t k = 0; k < lines; ++k) {
        const std::uint8_t* line = data + k * kLineBytes;
        for (std::int64_t wait = 0; wait < line[1] * kPassesPerStep; ++wait) {
            pass();
        }
        reader().lf_onTrafficDatagram(trafficLine(line, reportTime));
    }
    for (std::int64_t k = 0; k < kTailPasses; ++k) {
        pass();
    }
    zeph::setTrafficAccepting(false);
    zeph::lf_clearTrafficTables();
    zeph::test::clearTestParkAirport();
    return 0;
}
