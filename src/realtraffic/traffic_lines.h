#pragma once
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "core/geodesy.h"
#include "model/records.h"

// RealTraffic's traffic lines: one aircraft per line, comma-separated fields. A line is accepted (one
// report onto the adding stack), dropped without a word by a filter rule, or rejected with a logged error
// when a field cannot be read or lies out of its range.

namespace zeph {

class TrafficReader;

// Fields 0 to 28 are needed; a shorter line is dropped before any field is read.
inline constexpr std::size_t kTrafficLineFields = 29;

// Parses the reader's current line and pushes its report while traffic is taken. Every error of its own
// work is caught and logged through the reader, so a bad line never stops the reader.
void processLineSub(TrafficReader& reader);

// Field 11 into the registration ("null" is none); false drops the line (more than 12 characters).
bool lf_parseRegistration(const TrafficReader& reader, FlightIdentity& identity);
// Field 4 into the altitude after the ground decision (0: on the ground); needs the ground speed already in
// position. False drops the line (AIRBORNE_ONLY); throws when the field is not a number.
bool lf_parseAltitude(const TrafficReader& reader, StreamPos& position);
// Field 9 into the callsign ("null" is none, one holding '@' is emptied); false drops the line.
bool lf_parseCallsign(const TrafficReader& reader, FlightIdentity& identity);
// out becomes the field, or empty when the field is "null".
void lf_nullableField(std::string& out, std::string_view field);
// Balloons, gliders, ground vehicles and the like, and every type longer than 4 characters.
bool lf_isSpecialType(std::string_view type);
// "{:.6f},{:.6f}", latitude and longitude.
std::string lf_latLonText(const GeoPoint& position);

// The number at the start of a field into value, the rest ignored. False, with value unchanged, when there is
// none (also for a leading blank or '+'), when it lies outside the double range, or when it is not finite
// ("nan", "inf"): nothing non-finite may reach the traffic engine.
bool readNumberField(std::string_view field, double& value);
// The unsigned 32-bit decimal number at the start of a field; empty when there is none or it is too large.
std::optional<std::uint32_t> readHexidField(std::string_view field);

} // namespace zeph
