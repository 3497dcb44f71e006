#pragma once
#include <cmath>

#include "core/geodesy.h"
#include "model/records.h"

// Small geometry shared by the spawning and the motion rules: points of positions and angle wrapping.

namespace zeph {

inline GeoPoint pointOf(const StreamPos& p) { return GeoPoint{p.latitude, p.longitude}; }
inline GeoPoint pointOf(const PositionBlock& p) { return GeoPoint{p.latitude, p.longitude}; }

// Radians into -pi..pi.
inline double wrapToPi(double angle) { return std::remainder(angle, kTwoPi); }

// Radians into 0..2 pi.
inline double intoFullCircle(double angle) {
    angle = std::fmod(angle, kTwoPi);
    return angle < 0.0 ? angle + kTwoPi : angle;
}

// Degrees into (-180, 180]: the short way between two longitudes.
inline double wrapTo180(double degrees) {
    const double wrapped = std::remainder(degrees, 360.0);
    return wrapped == -180.0 ? 180.0 : wrapped;
}

// The turn from a heading to a wanted heading, both radians: (-pi, pi], so a turn right about is +pi.
inline double turnFromTo(double heading, double wanted) {
    const double turn = wrapToPi(wanted - heading);
    return turn == -kTwoPi / 2.0 ? kTwoPi / 2.0 : turn;
}

// Magnitude in degrees of the angle between a bearing and a heading, both radians: 0 to 180.
inline double offHeadingDegrees(double bearing, double heading) {
    return std::fabs(wrapToPi(bearing - heading)) * kRadToDeg;
}

} // namespace zeph
