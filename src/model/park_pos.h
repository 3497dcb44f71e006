#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "core/geodesy.h"
#include "core/half_hours.h"

// A stand of the park airport and what the program learns of its use from live traffic: which aircraft
// stood there, on which weekday, in which half hours.

namespace zeph {

struct StandUse {
    std::string airline;
    std::string type;
    std::string reg;
    std::string callsign;           // the first callsign seen
    std::string callsign2;          // a second callsign, empty when none
    HalfHourSet slots;              // the half hours of day in which the stand was taken
    std::uint32_t id = 0;           // 1, 2, ... within its stand; 0 marks no use
    std::uint32_t day = 0;          // 1..7, Monday 1
    std::uint32_t fromParkFile = 0; // 1 when it came with the park airport file (never saved as learned)
    std::uint32_t real = 0;         // 1 seen in live traffic, 0 soft
    std::uint8_t coupled = 0;       // the callsign was coupled to another one
};

// One stand with what was learned of its use.
struct ParkPos {
    std::vector<StandUse> uses;                // learned uses, in the order added or read
    std::string id;                            // unique within its airport
    std::vector<std::uint32_t> adjacentStands; // numbers of the stands that overlap this one
    double latitude = 0.0;                     // degrees
    double longitude = 0.0;                    // degrees; directly after latitude, the pair is a position
    double heading = 0.0;                      // radians
    double radius = 0.0;                       // nautical miles
    std::uint32_t number = 0;                  // running number 1..n in the stand list; 0 until numbered
    bool manual = false;                       // entered by hand
    bool radiusChanged = false;                // the radius was changed by learning
    bool cargoChanged = false;                 // the cargo attribute was changed by learning
    bool planned = false;                      // taken by the static-parking plan
    bool occupied = false;                     // an aircraft stands on it
    std::uint32_t occupant = 0;                // hexid of the live aircraft whose mark it is
    bool reserved = false;                     // reserved for the user aircraft
    bool nextToPlanned = false;                // overlaps a planned stand
    bool cargo = false;
    bool ramp = false;
    bool heli = false; // helipad: only rotorcraft park here, and rotorcraft park only here

    ParkPos() = default;
    // The radius is given in metres and kept in nautical miles.
    ParkPos(std::string&& id, std::vector<StandUse>&& uses, GeoPoint position, double headingRadians,
            double radiusMetres, bool cargo, bool ramp, bool heli);
};

} // namespace zeph
