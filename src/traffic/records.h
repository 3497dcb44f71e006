#pragma once
#include <cstdint>
#include <string>

// The records of the traffic engine. Each extends the one before it, so a function written for the smaller
// record works on the larger one: FlightIdentity <- AcProfile <- StaticAc <- LiveAc. For now they hold the
// fields that the application shell touches; the traffic engine adds the rest.

namespace zeph {

// Where a record is in the simulator's life cycle.
enum class AcState : std::uint32_t {
    buffer = 0,          // known, not in the simulator
    adding2sim = 1,      // a creation request is queued or on its way
    active = 2,          // created; the object id is valid
    liveryrespawn = 3,   // being removed to be created again with another livery
    removingfromsim = 4, // removal asked; erased when the simulator reports it
};

// Ground and flight phase of a live aircraft.
enum class AcPhase : std::uint32_t {
    pushing_back = 0,
    pushed_back = 1,
    taxi = 2,
    take_off = 3,
    flying = 4,
    parking = 5,
    parked = 6,
    birth = 7,
};

// The identity of one flight.
struct FlightIdentity {
    std::string callsign;
    std::string registration;
    std::uint32_t coupledSearchDone = 0; // 1 once the search for a coupled callsign has run for this flight
};

// A flight identity plus the values of the aircraft's type and kind.
struct AcProfile : FlightIdentity {
    double radius = 0.0;     // half the wingspan, nautical miles
    std::uint32_t hexid = 0; // the key: up to 10000 static aircraft, above live ones
};

// One static parked aircraft.
struct StaticAc : AcProfile {
    std::uint32_t objectId = 0; // 0 while not in the simulator
    double standLatitude = 0.0;
    double standLongitude = 0.0;
    std::uint32_t standNumber = 0; // 0: none
    AcState state = AcState::buffer;
    std::uint8_t gone = 0;      // removal asked after the creation request was handed over
    std::uint8_t remove = 0;    // removal asked in state buffer: the next pass erases the record
    std::uint8_t withdrawn = 0; // the creation request was taken out of its queue: the next pass erases it
};

// The values sent to the simulator for a live aircraft every frame.
struct PositionBlock {
    double latitude = 0.0;      // degrees
    double longitude = 0.0;     // degrees
    double pitch = 0.0;         // radians
    double bank = 0.0;          // radians
    double heading = 0.0;       // radians, true
    double altitude = 0.0;      // feet
    double verticalSpeed = 0.0; // feet per second
    double trueAirspeed = 0.0;  // knots
};

// One live aircraft.
struct LiveAc : StaticAc {
    PositionBlock position;
    double lastCheckLatitude = 0.0; // the position at the last collision check against static aircraft
    double lastCheckLongitude = 0.0;
    AcPhase phase = AcPhase::birth;
    std::uint8_t onGround = 0;
};

// One traffic line, handed over from the Traffic Reader thread.
struct TrafficReport {};

} // namespace zeph
