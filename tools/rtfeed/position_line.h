#pragma once
// The user position line the program sends about once a second:
//     Qs121=<pitch>;<bank>;<heading>;<altitude>;<ground speed>;<latitude>;<longitude>\r\n
// pitch and bank in 1/100000 rad, heading in rad, altitude in 1/1000 ft, ground speed in 1/1000 kt,
// latitude and longitude in rad.
#include <optional>
#include <string_view>

namespace zeph::rtfeed {

// A position line turned back into plain units.
struct PositionReport {
    double pitch = 0;   // radians
    double bank = 0;    // radians
    double heading = 0; // radians
    double altitudeFeet = 0;
    double groundSpeedKnots = 0;
    double latitude = 0;  // degrees
    double longitude = 0; // degrees
};

// The report of one position line (with or without its CR LF); nothing when the line is not one: another
// prefix, not exactly seven values, a value that is not a finite number, or bytes after the CR LF.
std::optional<PositionReport> decodePositionLine(std::string_view line);

} // namespace zeph::rtfeed
