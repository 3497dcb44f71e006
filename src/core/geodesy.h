#pragma once

namespace zeph {

// A position in degrees, north and east positive.
struct GeoPoint {
    double lat = 0.0;
    double lon = 0.0;
};

// On a sphere where one minute of arc is one nautical mile. None of them allocates.
double gf_greatCircleDistance(const GeoPoint& a, const GeoPoint& b);               // nautical miles
double gf_initialBearing(const GeoPoint& from, const GeoPoint& to);                // radians, 0 to 2 pi
GeoPoint gf_destinationPoint(const GeoPoint& start, double bearing, double distanceFeet); // lon -180..180

} // namespace zeph
