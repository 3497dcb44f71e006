#pragma once
#include "core/geodesy.h"
#include "model/records.h"

// The geometry of ground turns: a flat frame in metres around a curve's origin, the quadratic Bezier curve of
// a taxi turn or curved push back, turning a heading toward a wanted one, and how fast a timed turn may go.

namespace zeph {

// Metres east and north of a frame's origin.
struct LocalOffset {
    double east = 0.0;
    double north = 0.0;
};

// Offsets of a point from origin; the longitude difference goes the short way round.
LocalOffset lf_toLocalFrame(GeoPoint origin, GeoPoint point);
// The point at an offset from origin; its longitude may need lf_normalisePosition.
GeoPoint lf_fromLocalFrame(GeoPoint origin, LocalOffset offset);

// A curve from its origin (offset 0, 0) via the control point to the end point.
struct CurveView {
    GeoPoint origin;
    LocalOffset control;
    LocalOffset end;
    double startParameter = 0.0;
    double endParameter = 1.0;
};
CurveView curveViewOf(const LiveAc& aircraft);

// The point and direction of travel (radians, 0..2 pi) at progress; false with a NaN control point or a
// progress outside the curve's parameters.
bool gf_pointOnCurve(const CurveView& curve, GeoPoint& point, double& heading, double progress);

// Sets up the curve from the current position via position 1 to position 2, then drops position 1: the
// corner is only the control point. The stream must hold three positions.
void lf_startCurve(LiveAc& aircraft);

// The heading (radians) turned toward wanted by at most rate (radians), the shorter way, never past wanted;
// unchanged within 0.5 degrees.
double lf_turnToward(double heading, double wanted, double rate);

// Longitude into -180..180; a latitude beyond a pole is mirrored across it, the longitude moved half round.
void lf_normalisePosition(GeoPoint& point);

// How many passes a turn of angleDeg degrees takes at rate (radians per pass): at least 1.
std::int32_t lf_turnPasses(double angleDeg, double rate);

// The turn rate of a segment of travelPasses over metres with a turn of angleDeg degrees in it, so that the
// turn fits the segment; wideWindows for turns of 90 degrees or more.
struct TurnTiming {
    double turnRate = 0.0;
    bool wideWindows = false;
};
TurnTiming lf_turnTiming(double angleDeg, double travelPasses, double metres, double turnRate);

} // namespace zeph
