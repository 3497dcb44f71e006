#pragma once
// One traffic datagram as RealTraffic sends it: 29 comma-separated fields, one aircraft.
#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>

namespace zeph::rtfeed {

// The fields the receiver reads, with defaults that make an accepted airborne line near Amsterdam. Every
// other field of the 29 is empty, except field 0, which is "T". set() puts any text into any field, also
// one beyond 28, which lengthens the line.
struct TrafficLine {
    static constexpr std::size_t kFieldCount = 29;

    std::uint32_t hexid = 4735190;       // field 1
    double latitude = 52.3086;           // field 2, degrees, 6 decimals
    double longitude = 4.7639;           // field 3, degrees, 6 decimals
    double altitude = 3500;              // field 4, feet
    double verticalRate = -700;          // field 5, feet per minute
    std::optional<double> track = 241.0; // field 7, degrees, 1 decimal; empty when not given
    double groundSpeed = 165;            // field 8, knots
    std::string callsign = "TST101";     // field 9
    std::string type = "B738";           // field 10
    std::string registration = "PH-TST"; // field 11
    std::string from = "AMS";            // field 12
    std::string to = "LHR";              // field 13
    double time = 1733560000.25;         // field 14, UTC seconds, 2 decimals
    std::string source = "adsb_icao";    // field 17
    double trueAirspeed = 172;           // field 20, knots
    double roll = -2.5;                  // field 23, degrees
    double trueHeading = 240.3;          // field 25, degrees, 1 decimal
    std::string category = "A3";         // field 28

    // Replaces field n by text, whatever the named value says.
    TrafficLine& set(std::size_t n, std::string text);

    // The fields joined by ',', without a line end.
    std::string toDatagram() const;

private:
    std::map<std::size_t, std::string> overrides_;
};

// UTC seconds since 1970 with their fraction, as field 14 carries them.
double utcSecondsNow();

// The UTC seconds of "YYYY-MM-DDTHH:MM:SS[.fff]Z"; nothing for any other text or a date that does not exist.
std::optional<double> parseUtcIso(std::string_view text);

} // namespace zeph::rtfeed
