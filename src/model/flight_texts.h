#pragma once
#include <string>
#include <string_view>

#include "model/records.h"

// The small texts of a flight and the tests on its identity. Every text pads with blanks on the right, so
// log lines about aircraft line up in columns. Each takes the identity, so every larger record passes.

namespace zeph {

// "{:3} {:4}" of airline and type: the key of the livery tables and the end of the log prefix.
std::string gf_airlineTypeKey(std::string_view airline, std::string_view type);
// The airline-type key, one blank and the registration.
std::string gf_airlineTypeRegKey(const FlightIdentity& flight);
// "{:3}->{:3}" of departure and destination, or 8 blanks when both are empty.
std::string lf_routeText(const FlightIdentity& flight);
// The callsign padded to 8.
std::string gf_callsign8(const FlightIdentity& flight);
// Callsign and registration padded to 8, then the route text.
std::string gf_describeFlight(const FlightIdentity& flight);
// The start of every log line about one aircraft: gf_describeFlight and the airline-type key.
std::string gf_acLogPrefix(const FlightIdentity& flight);
// The callsign padded to 8, the registration and the airline-type key.
std::string gf_acShortText(const FlightIdentity& flight);

// Both flights have the same airline and the same type, byte for byte.
bool gf_sameAirlineType(const FlightIdentity& one, const FlightIdentity& other);
// Not empty, not "@@@@@@@@" and at most 8 characters.
bool gf_hasValidCallsign(const FlightIdentity& flight);
// When the callsign starts with three letters and a digit, the airline becomes those letters in upper case
// and the result is true; otherwise nothing changes.
bool gf_airlineFromCallsign(FlightIdentity& flight);

} // namespace zeph
