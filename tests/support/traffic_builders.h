#pragma once
#include <cstdint>
#include <string>

#include "core/geodesy.h"
#include "model/records.h"
#include "sim/user_aircraft.h"

// One-line builders of traffic reports and records for engine tests. Each aircraft is placed at a distance
// and bearing from the user aircraft's current position (userAcPosition), e.g.
//   liveAcTable.push_back(makeLiveAc({.hexid = 0x4001, .distanceNm = 3.0}, AcState::active, 101));
// The kinds and radii come from the aircraft tables, so install TestAircraft first.

namespace zeph::test {

// One reported aircraft. Hexids above 10000 are live aircraft.
struct ReportSpec {
    std::uint32_t hexid = 0x3C6444;
    std::string callsign = "DLH4AB";
    std::string type = "B738";
    std::string airline = "DLH";
    std::string registration{};
    double distanceNm = 5.0;    // from the user aircraft
    double bearingDeg = 0.0;    // true, from the user aircraft
    double altitude = 3000.0;   // feet
    double groundSpeed = 250.0; // knots; also the true airspeed
    double track = 90.0;        // degrees
    bool airborne = true;
    double reportTime = 1000.0; // seconds
};

// One static parked aircraft. Hexids up to 10000 are static aircraft.
struct StaticSpec {
    std::uint32_t hexid = 1;
    std::uint32_t standNumber = 1;
    std::string callsign = "DLH1*";
    std::string type = "B738";
    std::string airline = "DLH";
    double distanceNm = 0.5;
    double bearingDeg = 0.0;
    AcState state = AcState::active;
    std::uint32_t objectId = 0;
};

// Sets the user aircraft's position (userAcPosition and the simulator's copy simUserData), so builders and
// the pass's refresh agree.
void placeUserAircraft(GeoPoint at, double altitude = 0.0);
// The same with a whole user record and the on-ground state (userOnGround, userOnGroundKnown).
void placeUserAircraft(const UserAcPosition& position, bool onGround);

// The point at a distance (nautical miles) and true bearing (degrees) from the user aircraft.
GeoPoint pointFromUser(double distanceNm, double bearingDeg);

// The reported position: due 3000 passes from the current tickCounter, as the parser stamps it.
StreamPos makePosition(const ReportSpec& spec);
// `from` moved metres along a true bearing (degrees), not stationary, due `after` passes after it.
StreamPos movedPosition(const StreamPos& from, double bearingDeg, double metres, std::int64_t after);
// A report as the Traffic Reader hands it over.
TrafficReport makeReport(const ReportSpec& spec);
// A live record as the intake builds it from the report, in the given state and with the given object id;
// its position block is the reported position and track, and it is on the ground when not airborne.
LiveAc makeLiveAc(const ReportSpec& spec, AcState state = AcState::buffer, std::uint32_t objectId = 0);
// A static record standing at the given place, heading north.
StaticAc makeStaticAc(const StaticSpec& spec);

} // namespace zeph::test
