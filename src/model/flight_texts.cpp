#include "model/flight_texts.h"

#include <fmt/format.h>

namespace zeph {

namespace {

// Letters and digits as the classic C locale knows them: the user's locale must not change which
// callsigns name an airline.
bool isClassicLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }
bool isClassicDigit(char c) { return c >= '0' && c <= '9'; }
char toClassicUpper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

} // namespace

std::string gf_airlineTypeKey(std::string_view airline, std::string_view type) {
    return fmt::format("{:3} {:4}", airline, type);
}

std::string gf_airlineTypeRegKey(const FlightIdentity& flight) {
    return fmt::format("{} {}", gf_airlineTypeKey(flight.airline, flight.type), flight.registration);
}

std::string lf_routeText(const FlightIdentity& flight) {
    if (flight.from.empty() && flight.to.empty()) {
        return std::string(8, ' ');
    }
    return fmt::format("{:3}->{:3}", flight.from, flight.to);
}

std::string gf_callsign8(const FlightIdentity& flight) { return fmt::format("{:8}", flight.callsign); }

std::string gf_describeFlight(const FlightIdentity& flight) {
    return fmt::format("{} {:8} {}", gf_callsign8(flight), flight.registration, lf_routeText(flight));
}

std::string gf_acLogPrefix(const FlightIdentity& flight) {
    return fmt::format("{} {}", gf_describeFlight(flight), gf_airlineTypeKey(flight.airline, flight.type));
}

std::string gf_acShortText(const FlightIdentity& flight) {
    return fmt::format("{} {} {}", gf_callsign8(flight), flight.registration,
                       gf_airlineTypeKey(flight.airline, flight.type));
}

bool gf_sameAirlineType(const FlightIdentity& one, const FlightIdentity& other) {
    return one.airline == other.airline && one.type == other.type;
}

bool gf_hasValidCallsign(const FlightIdentity& flight) {
    const std::string& callsign = flight.callsign;
    return !callsign.empty() && callsign != "@@@@@@@@" && callsign.size() <= 8;
}

bool gf_airlineFromCallsign(FlightIdentity& flight) {
    const std::string& callsign = flight.callsign;
    if (callsign.size() < 4 || !isClassicLetter(callsign[0]) || !isClassicLetter(callsign[1]) ||
        !isClassicLetter(callsign[2]) || !isClassicDigit(callsign[3])) {
        return false;
    }
    flight.airline = {toClassicUpper(callsign[0]), toClassicUpper(callsign[1]), toClassicUpper(callsign[2])};
    return true;
}

} // namespace zeph
