#include "simstandin/simvars.h"

#include <array>
#include <cmath>
#include <limits>
#include <numbers>

namespace zeph::standin {

namespace {

constexpr std::array<SimVar, 25> kVars = {{
    {"PLANE LATITUDE", VarId::Latitude, Unit::Degrees},
    {"PLANE LONGITUDE", VarId::Longitude, Unit::Degrees},
    {"PLANE PITCH DEGREES", VarId::Pitch, Unit::Radians},
    {"PLANE BANK DEGREES", VarId::Bank, Unit::Radians},
    {"PLANE HEADING DEGREES TRUE", VarId::Heading, Unit::Radians},
    {"PLANE ALTITUDE", VarId::Altitude, Unit::Feet},
    {"VERTICAL SPEED", VarId::VerticalSpeed, Unit::FeetPerSecond},
    {"AIRSPEED TRUE", VarId::AirspeedTrue, Unit::Knots},
    {"PLANE ALT ABOVE GROUND", VarId::AltAboveGround, Unit::Feet},
    {"GROUND VELOCITY", VarId::GroundVelocity, Unit::Knots},
    {"ZULU TIME", VarId::ZuluTime, Unit::Seconds},
    {"ZULU DAY OF YEAR", VarId::ZuluDayOfYear, Unit::Number},
    {"ZULU YEAR", VarId::ZuluYear, Unit::Number},
    {"LIGHT STATES", VarId::LightStates, Unit::Mask},
    {"GROUND ALTITUDE", VarId::GroundAltitude, Unit::Feet},
    {"SIM ON GROUND", VarId::SimOnGround, Unit::Bool},
    {"ATC ID", VarId::AtcId, Unit::None},
    {"STATIC CG TO GROUND", VarId::StaticCgToGround, Unit::Feet},
    {"STATIC PITCH", VarId::StaticPitch, Unit::Radians},
    {"LIGHT ON STATES", VarId::LightOnStates, Unit::Mask},
    {"TITLE", VarId::Title, Unit::None},
    {"ATC MODEL", VarId::AtcModel, Unit::None},
    {"SPOILERS HANDLE POSITION", VarId::SpoilersHandle, Unit::Percent},
    {"GENERAL ENG THROTTLE LEVER POSITION:1", VarId::Throttle1, Unit::Percent},
    {"GENERAL ENG THROTTLE LEVER POSITION:2", VarId::Throttle2, Unit::Percent},
}};

struct UnitName {
    std::string_view name; // lower case
    Unit unit;
};

constexpr std::array<UnitName, 14> kUnits = {{
    {"degree", Unit::Degrees},
    {"degrees", Unit::Degrees},
    {"radian", Unit::Radians},
    {"radians", Unit::Radians},
    {"feet", Unit::Feet},
    {"foot", Unit::Feet},
    {"feet per second", Unit::FeetPerSecond},
    {"knots", Unit::Knots},
    {"knot", Unit::Knots},
    {"percent", Unit::Percent},
    {"bool", Unit::Bool},
    {"number", Unit::Number},
    {"seconds", Unit::Seconds},
    {"mask", Unit::Mask},
}};

char lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool equalNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t k = 0; k < a.size(); ++k) {
        if (lower(a[k]) != lower(b[k])) {
            return false;
        }
    }
    return true;
}

bool isAngle(Unit unit) { return unit == Unit::Degrees || unit == Unit::Radians; }

// Float to integer without undefined behaviour: NaN gives 0, the rest is cut toward zero and clamped.
template <typename Int> Int toInteger(double value) {
    if (std::isnan(value)) {
        return 0;
    }
    constexpr auto low = static_cast<double>(std::numeric_limits<Int>::min());
    constexpr auto high = static_cast<double>(std::numeric_limits<Int>::max());
    if (value <= low) {
        return std::numeric_limits<Int>::min();
    }
    if (value >= high) {
        return std::numeric_limits<Int>::max();
    }
    return static_cast<Int>(value);
}

double zuluValue(VarId id, std::int64_t clockMs) {
    const ZuluParts parts = zuluOf(clockMs);
    switch (id) {
    case VarId::ZuluTime: {
        const std::int64_t millis = ((clockMs % 1000) + 1000) % 1000;
        return static_cast<double>(parts.secondsOfDay) + static_cast<double>(millis) / 1000.0;
    }
    case VarId::ZuluDayOfYear:
        return static_cast<double>(parts.dayOfYear);
    default:
        return static_cast<double>(parts.year);
    }
}

void appendText(std::string& block, std::string_view text, std::uint32_t type) {
    if (type == datum::kString32) {
        zeph::standin::appendText(block, text, 32);
        return;
    }
    block.append(text);
    block.push_back('\0');
    while (block.size() % 4 != 0) {
        block.push_back('\0');
    }
}

} // namespace

const SimVar* findSimVar(std::string_view name) {
    for (const SimVar& var : kVars) {
        if (equalNoCase(var.name, name)) {
            return &var;
        }
    }
    return nullptr;
}

std::optional<Unit> parseUnit(std::string_view units) {
    if (units.empty()) {
        return Unit::None;
    }
    for (const UnitName& entry : kUnits) {
        if (equalNoCase(entry.name, units)) {
            return entry.unit;
        }
    }
    return std::nullopt;
}

bool isTextVar(const SimVar& var) { return var.native == Unit::None; }

bool unitSuits(const SimVar& var, Unit unit) {
    if (isAngle(var.native)) {
        return isAngle(unit);
    }
    return unit == var.native;
}

bool datumTypeKnown(std::uint32_t type) {
    return type == datum::kInt32 || type == datum::kInt64 || type == datum::kFloat32 ||
           type == datum::kFloat64 || type == datum::kString32 || type == datum::kStringV;
}

bool datumTypeIsText(std::uint32_t type) { return type == datum::kString32 || type == datum::kStringV; }

std::optional<std::size_t> datumFixedSize(std::uint32_t type) {
    switch (type) {
    case datum::kInt32:
    case datum::kFloat32:
        return 4;
    case datum::kInt64:
    case datum::kFloat64:
        return 8;
    case datum::kString32:
        return 32;
    default:
        return std::nullopt;
    }
}

double convertUnit(double value, Unit from, Unit to) {
    if (from == Unit::Degrees && to == Unit::Radians) {
        return value * std::numbers::pi / 180.0;
    }
    if (from == Unit::Radians && to == Unit::Degrees) {
        return value * 180.0 / std::numbers::pi;
    }
    return value;
}

double readVar(VarId id, const SimObject& object, const VarContext& context) {
    switch (id) {
    case VarId::Latitude:
        return object.lat;
    case VarId::Longitude:
        return object.lon;
    case VarId::Pitch:
        return object.pitch;
    case VarId::Bank:
        return object.bank;
    case VarId::Heading:
        return object.heading;
    case VarId::Altitude:
        return object.alt;
    case VarId::VerticalSpeed:
        return object.verticalSpeed;
    case VarId::AirspeedTrue:
        return object.airspeed;
    case VarId::AltAboveGround:
        return object.agl ? *object.agl : object.alt - context.ground;
    case VarId::GroundVelocity:
        return object.groundSpeed;
    case VarId::ZuluTime:
    case VarId::ZuluDayOfYear:
    case VarId::ZuluYear:
        return zuluValue(id, context.clockMs);
    case VarId::LightStates:
    case VarId::LightOnStates:
        return object.lightMask;
    case VarId::GroundAltitude:
        return context.ground;
    case VarId::SimOnGround:
        return reportsOnGround(object, context.ground) ? 1.0 : 0.0;
    case VarId::StaticCgToGround:
        return object.staticCgFeet;
    case VarId::StaticPitch:
        return object.staticPitchRad;
    case VarId::SpoilersHandle:
        return object.spoilersPercent;
    case VarId::Throttle1:
        return object.throttle1Percent;
    case VarId::Throttle2:
        return object.throttle2Percent;
    default:
        return 0.0;
    }
}

std::string readTextVar(VarId id, const SimObject& object) {
    switch (id) {
    case VarId::AtcId:
        return object.atcId;
    case VarId::Title:
        return object.title;
    case VarId::AtcModel:
        return object.atcModel;
    default:
        return {};
    }
}

bool writeVar(VarId id, SimObject& object, double value) {
    switch (id) {
    case VarId::Latitude:
        object.lat = value;
        return true;
    case VarId::Longitude:
        object.lon = value;
        return true;
    case VarId::Pitch:
        object.pitch = value;
        return true;
    case VarId::Bank:
        object.bank = value;
        return true;
    case VarId::Heading:
        object.heading = value;
        return true;
    case VarId::Altitude:
        object.alt = value;
        return true;
    case VarId::VerticalSpeed:
        object.verticalSpeed = value;
        return true;
    case VarId::AirspeedTrue:
        object.airspeed = value;
        return true;
    case VarId::GroundVelocity:
        object.groundSpeed = value;
        return true;
    case VarId::SimOnGround:
        object.onGround = value != 0.0;
        return true;
    case VarId::LightStates:
    case VarId::LightOnStates:
        object.lightMask = toInteger<std::uint32_t>(value);
        return true;
    case VarId::SpoilersHandle:
        object.spoilersPercent = value;
        return true;
    case VarId::Throttle1:
        object.throttle1Percent = value;
        return true;
    case VarId::Throttle2:
        object.throttle2Percent = value;
        return true;
    default:
        return false;
    }
}

void appendDatum(std::string& block, const Datum& d, const SimObject& object, const VarContext& context) {
    if (isTextVar(*d.var)) {
        appendText(block, readTextVar(d.var->id, object), d.type);
        return;
    }
    const double value = convertUnit(readVar(d.var->id, object, context), d.var->native, d.unit);
    switch (d.type) {
    case datum::kInt32:
        appendI32(block, toInteger<std::int32_t>(value));
        break;
    case datum::kInt64:
        appendI64(block, toInteger<std::int64_t>(value));
        break;
    case datum::kFloat32:
        appendF32(block, static_cast<float>(value));
        break;
    default:
        appendF64(block, value);
        break;
    }
}

std::optional<std::size_t> applyDatum(std::string_view block, std::size_t at, const Datum& d,
                                      SimObject& object, bool& written) {
    written = false;
    if (d.type == datum::kStringV) { // texts are not written; only their length counts
        const std::size_t end = block.find('\0', at);
        if (end == std::string_view::npos) {
            return std::nullopt;
        }
        const std::size_t size = ((end - at) / 4 + 1) * 4;
        return at + size <= block.size() ? std::optional<std::size_t>(size) : std::nullopt;
    }
    const std::optional<std::size_t> size = datumFixedSize(d.type);
    if (!size || at + *size > block.size()) {
        return std::nullopt;
    }
    if (isTextVar(*d.var)) {
        return size;
    }
    double value = 0.0;
    switch (d.type) {
    case datum::kInt32:
        value = static_cast<std::int32_t>(readU32(block, at));
        break;
    case datum::kInt64:
        value = static_cast<double>(readI64(block, at));
        break;
    case datum::kFloat32:
        value = readF32(block, at);
        break;
    default:
        value = readF64(block, at);
        break;
    }
    written = writeVar(d.var->id, object, convertUnit(value, d.unit, d.var->native));
    return size;
}

} // namespace zeph::standin
