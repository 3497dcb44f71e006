#include "realtraffic/traffic_lines.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstring>
#include <stdexcept>
#include <utility>

#include <fmt/format.h>

#include "airports/park_airport_record.h"
#include "core/geodesy.h"
#include "realtraffic/report_queue.h"
#include "realtraffic/traffic_reader.h"
#include "settings/parameter_table.h"
#include "settings/range.h"

namespace zeph {

namespace {

// The fields read; every other field is ignored.
enum Field : std::size_t {
    kHexid = 1,
    kLatitude = 2,
    kLongitude = 3,
    kAltitude = 4,
    kVerticalRate = 5,
    kTrack = 7,
    kGroundSpeed = 8,
    kCallsign = 9,
    kType = 10,
    kRegistration = 11,
    kFrom = 12,
    kTo = 13,
    kTime = 14,
    kSource = 17,
    kTrueAirspeed = 20,
    kRoll = 23,
    kTrueHeading = 25,
    kCategory = 28,
};

// Aircraft on the ground are taken only this near the park airport, nautical miles.
constexpr double kGroundRangeNm = 5.0;
constexpr std::size_t kLongestRegistration = 12;

// text equals the literal. Its length is known when compiling, so the bytes are compared inline: a call to
// memcmp for each of the dozen comparisons of a line cost more than reading its numbers.
template <std::size_t N> bool is(std::string_view text, const char (&literal)[N]) {
    return text.size() == N - 1 && std::memcmp(text.data(), literal, N - 1) == 0;
}

template <std::size_t... N> bool isOneOf(std::string_view text, const char (&... literals)[N]) {
    return (is(text, literals) || ...);
}

bool isDroppedCategory(std::string_view category) { return isOneOf(category, "B1", "B2", "B4", "C1", "C2"); }

// An error of one line. It keeps its text whole: what() would end at the first NUL byte of outside input.
class LineError : public std::runtime_error {
public:
    explicit LineError(std::string text) : std::runtime_error(text), text_(std::move(text)) {}
    const std::string& text() const { return text_; }

private:
    std::string text_;
};

[[noreturn]] void fail(std::string text) { throw LineError(std::move(text)); }

// A number field whose error text is "{name}:{field}".
double namedNumber(std::string_view field, std::string_view name) {
    double value = 0.0;
    if (!readNumberField(field, value)) {
        fail(fmt::format("{}:{}", name, field));
    }
    return value;
}

bool positionOutOfRange(const GeoPoint& p) {
    return p.lat < -90.0 || p.lat > 90.0 || p.lon < -180.0 || p.lon > 180.0 || isNearNullIsland(p);
}

// The texts an aircraft keeps go into log lines, the simulator's callsigns and flight-plan XML; a control
// byte there would forge log lines or break the XML, and RealTraffic never sends one, so such a line is
// corrupt.
void refuseControlBytes(const std::vector<std::string_view>& fields) {
    constexpr std::array<std::pair<int, std::string_view>, 5> kTextFields = {
        {{kCallsign, "callsign"}, {kType, "type"}, {kRegistration, "reg"}, {kFrom, "from"}, {kTo, "to"}}};
    for (const auto& [index, name] : kTextFields) {
        const std::string_view field = fields[static_cast<std::size_t>(index)];
        if (std::any_of(field.begin(), field.end(), [](char c) {
                const auto byte = static_cast<unsigned char>(c);
                return byte < 0x20 || byte == 0x7F;
            })) {
            fail(fmt::format("control character in {}:{}", name, field));
        }
    }
}

// Field 10; "null", "0" and "ZZZZ" say the type is not known.
void takeType(std::string_view field, FlightIdentity& identity) {
    if (isOneOf(field, "null", "0", "ZZZZ")) {
        identity.type.clear();
    } else {
        identity.type.assign(field);
    }
}

// Field 28 and the type: false for the categories and types the engine does not fly.
bool categoryAllowed(std::string_view category, std::string_view type) {
    if (category.empty() || is(category, "null")) {
        return true;
    }
    return !isDroppedCategory(category) && !lf_isSpecialType(type);
}

// Field 25, read only from ADS-B sources; a reported 0 is north, kept apart from "not given".
void takeTrueHeading(const std::vector<std::string_view>& fields, StreamPos& position) {
    if (!is(fields[kSource], "adsb_icao")) {
        return;
    }
    const double heading = namedNumber(fields[kTrueHeading], "trueheading");
    if (heading > 360.0) {
        fail(fmt::format("trueheading: {:.2f}", heading));
    }
    if (heading < 0.0) {
        return;
    }
    position.trueHeading = heading == 0.0 ? kTwoPi : heading * kDegToRad;
    position.trueHeadingKnown = 1;
}

std::uint32_t takeHexid(std::string_view field) {
    if (const auto hexid = readHexidField(field)) {
        return *hexid;
    }
    fail(fmt::format("hexid incorrect{}", field));
}

// Aircraft on the ground matter only at the park airport.
bool nearParkAirport(const GeoPoint& here) {
    const ParkAirportSnapshot park = parkAirportSnapshot();
    return !park.code.empty() && gf_greatCircleDistance(park.position, here) <= kGroundRangeNm;
}

void takeTrack(const std::vector<std::string_view>& fields, StreamPos& position) {
    const std::string_view field = fields[kTrack];
    position.track = 0.0;
    if (!field.empty()) {
        if (!readNumberField(field, position.track)) {
            fail(fmt::format("track incorrect {}", field));
        }
    }
    if (position.track == 0.0 && position.trueHeading) {
        position.track = *position.trueHeading * kRadToDeg;
    }
}

// Field 23, for airborne aircraft; -1 and 0 say it is not given. The sign turns to the simulator's bank.
void takeRoll(const std::vector<std::string_view>& fields, StreamPos& position) {
    position.roll.reset();
    if (position.airborne == 0) {
        return;
    }
    const double roll = namedNumber(fields[kRoll], "roll");
    if (roll != -1.0 && roll != 0.0) {
        position.roll = -roll * kDegToRad;
    }
}

// A true airspeed for lines that give none: a typical one for the altitude.
double defaultTrueAirspeed(double altitude) {
    constexpr std::array<std::pair<double, double>, 4> kSpeedByAltitude = {
        {{2000.0, 180.0}, {5000.0, 220.0}, {10000.0, 250.0}, {20000.0, 350.0}}};
    for (const auto& [bound, speed] : kSpeedByAltitude) {
        if (altitude <= bound) {
            return speed;
        }
    }
    return 430.0;
}

void takeTrueAirspeed(const std::vector<std::string_view>& fields, StreamPos& position) {
    double speed = 0.0;
    if (!readNumberField(fields[kTrueAirspeed], speed)) {
        fail(fmt::format("TAS incorrect{}", fields[kTrueAirspeed]));
    }
    position.trueAirspeed = speed == -1.0 ? defaultTrueAirspeed(position.altitude) : speed;
}

// Reads the line into report; false when a filter rule drops it. Throws on a field error.
bool readLine(TrafficReader& reader, TrafficReport& report) {
    const auto& fields = reader.fields();
    StreamPos& position = report.position;
    FlightIdentity& identity = report.identity;

    report.reportTime = namedNumber(fields[kTime], "timestamp");
    // Also for lines dropped later: the main loop waits on it for the first traffic.
    reader.setLastReportTime(report.reportTime);

    refuseControlBytes(fields);
    position.latitude = namedNumber(fields[kLatitude], "lat");
    position.longitude = namedNumber(fields[kLongitude], "lon");
    const GeoPoint here{position.latitude, position.longitude};
    if (positionOutOfRange(here)) {
        fail(fmt::format("invalid lalo: {}", lf_latLonText(here)));
    }
    if (!gf_withinDistance(reader.linePlace().userPosition, here, lateralRangeNm.load())) {
        return false;
    }
    if (!lf_parseRegistration(reader, identity)) {
        return false;
    }
    const std::string_view callsign = fields[kCallsign];
    if (reader.collectingCallsigns() && !callsign.empty() && !is(callsign, "null") &&
        callsign.find('@') == std::string_view::npos) {
        reader.collectCallsign(callsign);
    }
    takeType(fields[kType], identity);
    if (identity.type.empty() || !categoryAllowed(fields[kCategory], identity.type)) {
        return false;
    }
    takeTrueHeading(fields, position);
    report.hexid = takeHexid(fields[kHexid]);
    if (report.hexid <= kLastStaticHexid) {
        return false;
    }
    position.groundSpeed = namedNumber(fields[kGroundSpeed], "gs");
    if (!lf_parseAltitude(reader, position)) {
        return false;
    }
    position.airborne = position.altitude > 0.0 ? 1 : 0;
    if (!lf_parseCallsign(reader, identity)) {
        return false;
    }
    if (identity.callsign.empty() && identity.registration.empty()) {
        return false;
    }
    if (position.airborne == 0 && !nearParkAirport(here)) {
        return false;
    }
    takeTrack(fields, position);
    position.verticalRate = namedNumber(fields[kVerticalRate], "vs");
    lf_nullableField(identity.from, fields[kFrom]);
    lf_nullableField(identity.to, fields[kTo]);
    takeRoll(fields, position);
    takeTrueAirspeed(fields, position);
    position.stationary = 0;
    return true;
}

// Powers of ten that a double holds exactly.
constexpr std::array<double, 17> kExactPowersOfTen = {1e0, 1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7, 1e8,
                                                      1e9, 1e10, 1e11, 1e12, 1e13, 1e14, 1e15, 1e16};
constexpr std::uint64_t kLargestExactInteger = std::uint64_t{1} << 53;
constexpr std::size_t kMostPlainDigits = 16;

// Appends the digits from at to value; where they end.
const char* appendDigits(const char* at, const char* end, std::uint64_t& value) {
    for (unsigned digit = 0; at != end && (digit = static_cast<unsigned char>(*at) - unsigned{'0'}) < 10;
         ++at) {
        value = value * 10 + digit; // wraps only past 19 digits, which are refused below
    }
    return at;
}

// The number at the start of a field when it is a plain decimal ("-12.345", "7", ".5"), the rest of the field
// ignored. Its digits as an integer and the power of ten of its decimals are both exact doubles here, so the
// one division rounds once and gives the same double as from_chars, at a fraction of the cost; traffic lines
// are made of such numbers. False for anything else (no digit, an exponent, too many digits), which
// from_chars then reads. The value comes back through a reference: returned in an optional it went through
// memory in two halves and was read back whole, a stall on every number.
bool readPlainDecimal(std::string_view field, double& value) {
    const char* at = field.data();
    const char* const end = at + field.size();
    const bool negative = at != end && *at == '-';
    at += negative ? 1 : 0;
    const char* const first = at;
    std::uint64_t digits = 0;
    at = appendDigits(at, end, digits);
    auto count = static_cast<std::size_t>(at - first);
    std::size_t decimals = 0;
    if (at != end && *at == '.') {
        const char* const fraction = at + 1;
        at = appendDigits(fraction, end, digits);
        decimals = static_cast<std::size_t>(at - fraction);
        count += decimals;
    }
    if (count == 0 || count > kMostPlainDigits || digits > kLargestExactInteger ||
        (at != end && (*at == 'e' || *at == 'E'))) {
        return false;
    }
    const double magnitude = static_cast<double>(digits) / kExactPowersOfTen[decimals];
    value = negative ? -magnitude : magnitude;
    return true;
}

} // namespace

void processLineSub(TrafficReader& reader) {
    if (reader.fields().size() < kTrafficLineFields) {
        return;
    }
    try {
        TrafficReport report;
        if (readLine(reader, report)) {
            gf_pushTrafficReport(std::move(report));
        }
    } catch (const LineError& error) {
        reader.logLineError(error.text());
    } catch (const std::exception& error) {
        reader.logLineError(error.what());
    }
}

bool lf_parseRegistration(const TrafficReader& reader, FlightIdentity& identity) {
    const std::string_view field = reader.fields()[kRegistration];
    if (field.size() > kLongestRegistration) {
        return false;
    }
    lf_nullableField(identity.registration, field);
    return true;
}

bool lf_parseAltitude(const TrafficReader& reader, StreamPos& position) {
    const std::string_view field = reader.fields()[kAltitude];
    double altitude = 0.0;
    if (!readNumberField(field, altitude)) {
        fail(fmt::format("altitude {} incorrect, from: {}", field, reader.datagram()));
    }
    const double speed = position.groundSpeed;
    if (altitude <= 0.0) {
        altitude = 0.0;
    } else {
        if (altitude < 14000.0) {
            // Low and slow near the airport's elevation means rolling on the ground; without an airport
            // the reference lies so low that only the speed rule below can decide.
            const double height = altitude - reader.linePlace().referenceElevation.value_or(-1000.0);
            if (height <= 0.0 || (height <= 42.0 && speed <= 120.0) || (height <= 84.0 && speed <= 80.0) ||
                (height <= 108.0 && speed <= 43.0)) {
                altitude = 0.0;
            }
        }
        if (speed <= 35.0) {
            altitude = 0.0;
        }
    }
    position.altitude = altitude;
    if (!AIRBORNE_ONLY.get()) {
        return true;
    }
    const ParkAirportSnapshot park = parkAirportSnapshot();
    const double airportAltitude = park.code.empty() ? 0.0 : park.altitude;
    return std::abs(altitude - airportAltitude) > 300.0;
}

bool lf_parseCallsign(const TrafficReader& reader, FlightIdentity& identity) {
    lf_nullableField(identity.callsign, reader.fields()[kCallsign]);
    if (identity.callsign.find('@') != std::string::npos) {
        identity.callsign.clear();
        return true;
    }
    return !isOneOf(identity.callsign, "ERARMTR1", "AIRPORT1", "00000000");
}

void lf_nullableField(std::string& out, std::string_view field) {
    if (is(field, "null")) {
        out.clear();
    } else {
        out.assign(field);
    }
}

bool lf_isSpecialType(std::string_view type) {
    return type.size() > 4 ||
           isOneOf(type, "BALL", "EMER", "GLID", "GRND", "GND", "PARA", "SERV", "SHIP", "VENT");
}

std::string lf_latLonText(const GeoPoint& position) {
    return fmt::format("{:.6f},{:.6f}", position.lat, position.lon);
}

bool readNumberField(std::string_view field, double& value) {
    if (readPlainDecimal(field, value)) {
        return true;
    }
    double read = 0.0;
    const auto result = std::from_chars(field.data(), field.data() + field.size(), read);
    if (result.ec != std::errc() || !std::isfinite(read)) {
        return false;
    }
    value = read;
    return true;
}

std::optional<std::uint32_t> readHexidField(std::string_view field) {
    std::uint32_t value = 0;
    if (std::from_chars(field.data(), field.data() + field.size(), value).ec != std::errc()) {
        return std::nullopt;
    }
    return value;
}

} // namespace zeph
