#pragma once
#include <cstddef>
#include <cstdint>
#include <exception>
#include <string_view>

#include "core/geodesy.h"
#include "model/records.h"

// The stream of reported positions a live aircraft flies along: appending reports, starting segments, the
// due pass at which a position is reached, and what happens when the stream runs dry. Traffic thread only.
// Time is counted in passes of 10 ms (tickCounter).

namespace zeph {

// A stream never grows past this many positions; one more report removes the aircraft instead.
inline constexpr std::size_t kMaxStreamPositions = 200;
// Seven days: the due pass of a parked aircraft's prediction lies this far after its head, so it stays put.
inline constexpr std::int64_t kParkedCopyPasses = 60480000;
// The shortest travel time of a segment, in passes.
inline constexpr std::int32_t kShortestTravelPasses = 25;

// Appends a new report's position to a known aircraft's stream, after the intake's filters, or drops it;
// may remove the aircraft from the simulator.
void decodeExisting(LiveAc& aircraft, StreamPos position);

// The head's due pass is reached: drops repeated positions in the air, extends a dry stream (or removes the
// aircraft) and starts the next segment. An exception is logged and passed on.
void nextPosMain(LiveAc& aircraft);
// Sets up the segment from the head to position 1, then pops the head.
void lf_nextSegment(LiveAc& aircraft);

// No ground curve: its start and end parameters and both control-point values NaN, progress 0.
void lf_clearCurve(LiveAc& aircraft);
// Latitude and longitude steps that reach position 1 at its due pass; the longitude goes the short way
// across the antimeridian.
void lf_aimAtNext(LiveAc& aircraft);

// The due-pass rule: position 1's due pass from a travel time, kept within the windows around its reported
// due pass while reports are flown as reported, never before the current pass.
void lf_setNextDue(LiveAc& aircraft, std::int32_t travelPasses);
// round(distance x 360000 / speed), at least 25; gsl::narrowing_error beyond the 32-bit range.
std::int32_t lf_travelPasses(double distanceNm, double speedKt);
// Passes from now to position 1's due pass, at least 25 (25 when it lies in the past).
std::int64_t lf_segmentPasses(const LiveAc& aircraft);
// Knots from the head to position 1: their mean ground speed, or from their distance and due passes when
// both stand; at least 1.
double lf_segmentSpeed(const LiveAc& aircraft);

// The stream holds fewer than two positions: holds on the ground or predicts a position. False when the
// aircraft is to be removed.
bool lf_extendStream(LiveAc& aircraft);
// Appends one predicted copy of the head; count predictions remain allowed.
void lf_predictPositions(LiveAc& aircraft, int count);
// Whether a new position may be flown; may turn it into a stationary copy of the last position.
bool lf_acceptNewPos(LiveAc& aircraft, StreamPos& position);

// The same point within 1e-8 degrees in latitude and in longitude.
bool lf_samePoint(const GeoPoint& one, const GeoPoint& other);
// Reports are flown as reported again: timing mode 0, windows 3000/3000 (late 5000 on the take-off roll).
void lf_endPrediction(LiveAc& aircraft);
// Each window narrows by 100 passes while above 1000, never below 1000.
void narrowWindows(LiveAc& aircraft);
// "where: error prefix, sz:, fs:, st:" of a failed motion step, with gf_logLine.
void logMotionFailure(std::string_view where, const std::exception& error, const LiveAc& aircraft);
// Nautical miles from the head to position 1.
double headToNextNm(const LiveAc& aircraft);

} // namespace zeph
