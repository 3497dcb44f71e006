#pragma once
#include <cstdint>
#include <deque>
#include <limits>
#include <optional>
#include <string>
#include <string_view>

// The records of the traffic engine. Each extends the one before it, so a function written for the smaller
// record works on the larger one: FlightIdentity <- AcProfile <- StaticAc <- LiveAc. No virtual functions:
// the records are plain data, copied and moved member by member.

namespace zeph {

// Hexids up to this one belong to static parked aircraft; live aircraft have higher ones.
inline constexpr std::uint32_t kLastStaticHexid = 10000;

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

// Kind of an aircraft's type; a type in none of the database's category sets is Light.
enum class AcKind : std::uint32_t {
    Light = 0,
    Buzjets = 1,
    Large = 2,
    Heavy = 3,
    HighPerf = 4,
    Rotorcraft = 5,
};

// Names of the values, as used in messages. A value outside the enumeration throws std::out_of_range
// "invalid unordered_map<K, T> key".
std::string_view gf_categoryName(std::uint32_t kind);
std::string_view gf_groundStateName(std::uint32_t phase);
std::string_view gf_simStateName(std::uint32_t state);
inline std::string_view gf_categoryName(AcKind kind) {
    return gf_categoryName(static_cast<std::uint32_t>(kind));
}
inline std::string_view gf_groundStateName(AcPhase phase) {
    return gf_groundStateName(static_cast<std::uint32_t>(phase));
}
inline std::string_view gf_simStateName(AcState state) {
    return gf_simStateName(static_cast<std::uint32_t>(state));
}

// The flight values of one kind of aircraft; angles in degrees, as the flight rules are written.
struct KindValues {
    double rotationPitchDeg; // pitch at the take-off rotation (negative is nose up)
    double climbPitchDeg;    // pitch of the initial climb
    double turnRateDeg;      // heading change per pass in a turn
    double climbStep;        // largest altitude change per pass, feet
    double slowTaxiSpeed;    // push back and drive onto a stand, knots
    std::uint32_t flarePasses;
    std::uint32_t touchDownPasses;
    std::uint32_t rotationPasses;
    std::uint32_t climbPitchPasses;
    double rotationSpeedKt; // every position after the take-off roll's head at least this fast: rotate
    double pitchStepDeg;    // largest pitch change per pass in the air
    double largestBankDeg;
    double bankStepDeg;    // largest bank change per pass
    double climbOutHeight; // feet above ground: above it the climb-out configuration ends
};

// The row of a kind; a value outside 0-5 throws std::out_of_range "invalid unordered_map<K, T> key".
const KindValues& kindValuesOf(std::uint32_t kind);
inline const KindValues& kindValuesOf(AcKind kind) { return kindValuesOf(static_cast<std::uint32_t>(kind)); }

// The identity of one flight; strings are byte strings, possibly empty.
struct FlightIdentity {
    std::string airline;         // ICAO airline code
    std::string type;            // ICAO type designator
    std::string from;            // departure code as reported (IATA)
    std::string to;              // destination code as reported (IATA)
    std::string callsign;        // also the tail number and ATC id given to the simulator
    std::string firstCallsign;   // the callsign when the live record was created
    std::string coupledCallsign; // the other callsign of the same aircraft
    std::string registration;
    std::uint32_t coupledSearchDone = 0; // 1 once the search for a coupled callsign has run for this flight
};

// A flight identity plus the values of the aircraft's type and kind.
struct AcProfile : FlightIdentity {
    double radius = 0.0;         // half the wingspan, nautical miles
    double staticCgHeight = 0.0; // feet above the ground when standing; 0 until the simulator reports it
    double staticPitch = 0.0;    // radians, when standing
    double rotationPitch = 0.0;  // radians, reached at the take-off rotation
    double climbPitch = 0.0;     // radians, initial climb
    double baseTurnRate = 0.0;   // radians per pass
    double turnRate = 0.0;       // radians per pass, in use
    double climbStep = 0.0;      // feet per pass; live aircraft only
    double slowTaxiSpeed = 0.0;  // knots; live aircraft only
    std::uint32_t hexid = 0;     // the key: up to 10000 static aircraft, above live ones
    AcKind kind = AcKind::Large; // a profile built before its type is known counts as Large
    std::string_view livery;     // the chosen livery title in the livery tables; empty: none chosen yet
    std::uint32_t flarePasses = 0;
    std::uint32_t touchDownPasses = 0;
    std::uint32_t rotationPasses = 0;
    std::uint32_t climbPitchPasses = 0;
    std::uint8_t cargo = 0;                  // a cargo flight: the livery matching tries cargo liveries first
    std::uint8_t reversedThrottleLivery = 0; // the livery wants the throttle at -100 at touch-down
};

// One static parked aircraft.
struct StaticAc : AcProfile {
    std::uint32_t objectId = 0; // 0 while not in the simulator
    double standLatitude = 0.0;
    double standLongitude = 0.0;
    double standHeading = 0.0;         // radians, true
    std::uint32_t parkingDay = 0;      // week slot of parking: day 1-7 (Monday 1), 0 until set
    std::uint32_t parkingHalfHour = 0; // and half hour 0-47
    std::uint32_t standNumber = 0;     // 0: none
    AcState state = AcState::buffer;
    std::uint32_t throttleIndex = 5; // 5: none sent yet
    std::uint32_t flapsIndex = 4;    // 4: none sent yet (treated as flaps up)
    std::uint8_t cargoStand = 0;
    std::uint8_t gone = 0;      // removal asked after the creation request was handed over
    std::uint8_t remove = 0;    // removal asked in state buffer: the next pass erases the record
    std::uint8_t withdrawn = 0; // the creation request was taken out of its queue: the next pass erases it

    StaticAc() = default;
    StaticAc(AcProfile&& profile, std::uint32_t standNumber, double standLatitude, double standLongitude,
             double standHeading, bool cargoStand);
};

// One reported position.
struct StreamPos {
    double latitude = 0.0;     // degrees
    double longitude = 0.0;    // degrees
    double altitude = 0.0;     // feet
    double groundSpeed = 0.0;  // knots
    double track = 0.0;        // degrees
    double verticalRate = 0.0; // feet per minute
    double trueAirspeed = 0.0; // knots
    std::int64_t duePass = 0;  // pass at which the position is to be reached
    std::uint8_t airborne = 0;
    std::uint8_t stationary = 0; // same place as the position before it in the stream
    std::uint8_t trueHeadingKnown = 0;
    std::optional<double> roll;        // bank in radians, when reported
    std::optional<double> trueHeading; // radians, when reported; a reported 0 is 2 pi
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

// One live aircraft. The motion rules give the fields their use; each starts at 0 unless set here.
struct LiveAc : StaticAc {
    PositionBlock position;
    std::deque<StreamPos> stream;   // positions still to be flown, oldest first
    double lastReportTime = 0.0;    // report time of the last report applied
    double lastCheckLatitude = 0.0; // the position at the last collision check against static aircraft
    double lastCheckLongitude = 0.0;
    std::int64_t parkedSince = 0; // system clock, 100 ns ticks, when it came to rest at its stand
    std::int32_t timingMode = 0;  // 0 as reported; n > 0 predicted, n more allowed; -1 predictions used up
    std::int64_t holdStart = 0;   // pass at which a ground hold began
    AcPhase phase = AcPhase::birth;
    AcPhase previousPhase = AcPhase::birth;
    std::uint8_t groundLogic = 0;
    std::uint8_t onGround = 0;
    std::uint8_t hasFlightPlan = 0;
    std::uint8_t userConflict = 0; // the spawn waits for the user aircraft
    std::uint8_t holdFlag = 0;     // holding on the ground because the stream ran dry
    double latitudeStep = 0.0;
    double longitudeStep = 0.0;
    double pitchStep = 0.0;
    double bankStep = 0.0;
    double headingStep = 0.0;
    double altitudeStep = 0.0;
    double segmentVerticalRate = 0.0; // feet per minute
    double segmentTrueAirspeed = 0.0; // knots
    double curveOriginLatitude = 0.0;
    double curveOriginLongitude = 0.0;
    double curveStartParameter = 0.0;
    double curveEndNorth = 0.0; // metres
    double curveEndEast = 0.0;  // metres
    double curveEndParameter = 0.0;
    double controlPointEast = std::numeric_limits<double>::quiet_NaN(); // metres; NaN: no curve yet
    double controlPointNorth = std::numeric_limits<double>::quiet_NaN();
    double curveProgress = 0.0;
    double progressStep = 0.0;
    double curveTurnAngle = 0.0; // degrees
    StreamPos pushBackEnd;       // reserved push-back end
    double lastDriveLatitude = 0.0;
    double lastDriveLongitude = 0.0;
    std::uint8_t lastDriveLanded = 0; // the last parking check searched as wide as after a landing
    std::int32_t earlyWindow = 1000;  // passes a position may be flown before its due pass
    std::int32_t lateWindow = 1000;   // passes a position may be flown after its due pass
    std::int32_t phaseCountdown = 1;  // passes left in the current take-off or landing step
    std::int32_t pushBackPieces = 0;
    std::int32_t leaveCount = 0;
    double referenceHeading = 0.0;
    double heightAboveGround = 2500.0; // feet, as last reported by the simulator
    double flareHeight = 0.0;
    double touchDownHeading = 0.0;
    double lastPushBackDistance = 0.0;
    double firstStandDistance = 0.0;
    double largestStandDistance = 0.0;
    double turnInPlaceAngle = 0.0;
    double respawnHeading = 0.0;
    std::uint8_t respawnFlag = 0; // the next spawn uses respawnHeading
    std::uint8_t pushBackSide = 0;
    std::uint8_t curvedPushBack = 0;
    double touchDownElevation = 0.0;
    std::uint8_t elevationKnown = 0;
    std::uint32_t landingStage = 0; // 0 none, 1 flare begun, 2-4 later stages
    std::uint8_t approach = 0;
    std::uint8_t landed = 0;
    std::uint8_t towed = 0;
    std::uint8_t climbOutDone = 0;
    std::uint8_t takeOffRoll = 0;
    std::uint8_t lightsHigh = 0;
    std::uint8_t lightsLow = 0;
    std::uint8_t touchDownEasing = 0;
    std::uint8_t landingRoll = 0;
    std::uint8_t leavingStand = 0;
    std::uint8_t turningInPlace = 0;

    LiveAc() = default;
    // A new live aircraft from its first report: state buffer, the report's position the only one in the
    // stream.
    LiveAc(const StreamPos& position, AcProfile&& profile, double reportTime);
};

// Sets the phase; a change keeps the old value in previousPhase. Every phase change goes through here.
void lf_setPhase(LiveAc& aircraft, AcPhase phase);

// The aircraft has left its stand: no stand place, number or cargo mark is kept.
inline void lf_forgetStand(StaticAc& aircraft) {
    aircraft.standLatitude = 0.0;
    aircraft.standLongitude = 0.0;
    aircraft.standHeading = 0.0;
    aircraft.standNumber = 0;
    aircraft.cargoStand = 0;
}

// One traffic line, handed over from the Traffic Reader thread.
struct TrafficReport {
    FlightIdentity identity; // first and coupled callsign empty, flag 0
    StreamPos position;
    double reportTime = 0.0; // seconds, from the line's time field
    std::uint32_t hexid = 0;
};

} // namespace zeph
