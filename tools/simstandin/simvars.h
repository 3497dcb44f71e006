#pragma once
// The simulation variables a client may put into a data definition, their units and how their values are
// laid out in a data block.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "simstandin/world.h"

namespace zeph::standin {

enum class Unit { Degrees, Radians, Feet, FeetPerSecond, Knots, Percent, Bool, Number, Seconds, Mask, None };

enum class VarId {
    Latitude,
    Longitude,
    Pitch,
    Bank,
    Heading,
    Altitude,
    VerticalSpeed,
    AirspeedTrue,
    AltAboveGround,
    GroundVelocity,
    ZuluTime,
    ZuluDayOfYear,
    ZuluYear,
    LightStates,
    GroundAltitude,
    SimOnGround,
    AtcId,
    StaticCgToGround,
    StaticPitch,
    LightOnStates,
    Title,
    AtcModel,
    SpoilersHandle,
    Throttle1,
    Throttle2,
};

struct SimVar {
    std::string_view name; // upper case
    VarId id;
    Unit native; // the unit the world keeps the value in; None for texts
};

// Datum types of a definition.
namespace datum {
inline constexpr std::uint32_t kInt32 = 1;
inline constexpr std::uint32_t kInt64 = 2;
inline constexpr std::uint32_t kFloat32 = 3;
inline constexpr std::uint32_t kFloat64 = 4;
inline constexpr std::uint32_t kString32 = 6;
inline constexpr std::uint32_t kStringV = 11;
} // namespace datum

// The variable of a name, matched without regard to case.
const SimVar* findSimVar(std::string_view name);
// A unit name, matched without regard to case; an empty name is None.
std::optional<Unit> parseUnit(std::string_view units);
bool isTextVar(const SimVar& var);
// Whether a unit can be asked for this variable (angles convert between degrees and radians).
bool unitSuits(const SimVar& var, Unit unit);
bool datumTypeKnown(std::uint32_t type);
bool datumTypeIsText(std::uint32_t type);
// The fixed size of a datum type; nothing for a text of variable length.
std::optional<std::size_t> datumFixedSize(std::uint32_t type);

struct Datum {
    const SimVar* var = nullptr;
    Unit unit = Unit::None;
    std::uint32_t type = 0;
    std::optional<std::size_t> offset; // in the data block; unknown behind a text of variable length
};

// What a variable reads besides its object.
struct VarContext {
    double ground = 0.0;
    std::int64_t clockMs = 0;
};

double convertUnit(double value, Unit from, Unit to);
// The value of a numeric variable in its native unit.
double readVar(VarId id, const SimObject& object, const VarContext& context);
std::string readTextVar(VarId id, const SimObject& object);
// Writes a numeric variable given in its native unit; false when the variable cannot be written.
bool writeVar(VarId id, SimObject& object, double value);

// Appends the datum's value of `object` in its type and unit.
void appendDatum(std::string& block, const Datum& datum, const SimObject& object, const VarContext& context);
// Reads one datum at `at` of a data block and writes it into `object`; returns the datum's size, or nothing
// when the block is too short. `written` tells whether the variable took the value.
std::optional<std::size_t> applyDatum(std::string_view block, std::size_t at, const Datum& datum,
                                      SimObject& object, bool& written);

} // namespace zeph::standin
