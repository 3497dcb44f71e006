#pragma once

#include <cmath>

namespace zeph {

// A position in degrees, north and east positive.
struct GeoPoint {
    double lat = 0.0;
    double lon = 0.0;
};

inline constexpr double kDegToRad = 0.017453292519943295;
inline constexpr double kRadToDeg = 57.29577951308232;
inline constexpr double kTwoPi = 6.283185307179586;
inline constexpr double kFeetPerNm = 6076.11549;
inline constexpr double kMetresPerNm = 1852.0;
inline constexpr double kNmPerMetre = 0.0005399568034557236;

// 0, 0 stands for "no position": a point within 0.0001 degrees of it in both latitude and longitude.
inline bool isNearNullIsland(const GeoPoint& p) {
    return std::fabs(p.lat) <= 0.0001 && std::fabs(p.lon) <= 0.0001;
}

// On a sphere where one minute of arc is one nautical mile. None of them allocates.
double gf_greatCircleDistance(const GeoPoint& a, const GeoPoint& b); // nautical miles
// Exactly gf_greatCircleDistance(a, b) <= nm, without trigonometry when a quick bound already settles it.
bool gf_withinDistance(const GeoPoint& a, const GeoPoint& b, double nm);
double gf_initialBearing(const GeoPoint& from, const GeoPoint& to); // radians, 0 to 2 pi
GeoPoint gf_destinationPoint(const GeoPoint& start, double bearing, double distanceFeet); // lon -180..180

} // namespace zeph
