#include "traffic/ground_curve.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "traffic/stream_geometry.h"

namespace zeph {
namespace {

constexpr double kMetresPerDegree = 111132.95;
constexpr double kDeadBandDegrees = 0.5;

double eastScale(GeoPoint origin) {
    const double latitude = origin.lat > 180.0 ? origin.lat - 360.0 : origin.lat;
    return std::cos(latitude * kDegToRad) * kMetresPerDegree;
}

bool headingGrows(double from, double to) {
    if (from > 180.0) {
        return to > from || to <= from - 180.0;
    }
    return to > from && from + 180.0 > to;
}

} // namespace

LocalOffset lf_toLocalFrame(GeoPoint origin, GeoPoint point) {
    return LocalOffset{eastScale(origin) * wrapTo180(point.lon - origin.lon),
                       (point.lat - origin.lat) * kMetresPerDegree};
}

GeoPoint lf_fromLocalFrame(GeoPoint origin, LocalOffset offset) {
    return GeoPoint{origin.lat + offset.north / kMetresPerDegree,
                    origin.lon + offset.east / eastScale(origin)};
}

CurveView curveViewOf(const LiveAc& aircraft) {
    return CurveView{GeoPoint{aircraft.curveOriginLatitude, aircraft.curveOriginLongitude},
                     LocalOffset{aircraft.controlPointEast, aircraft.controlPointNorth},
                     LocalOffset{aircraft.curveEndEast, aircraft.curveEndNorth}, aircraft.curveStartParameter,
                     aircraft.curveEndParameter};
}

bool gf_pointOnCurve(const CurveView& curve, GeoPoint& point, double& heading, double progress) {
    if (std::isnan(curve.control.east) || std::isnan(curve.control.north) ||
        !(progress >= curve.startParameter && progress <= curve.endParameter)) {
        return false;
    }
    const double u = (progress - curve.startParameter) / (curve.endParameter - curve.startParameter);
    if (!(u >= 0.0 && u <= 1.0)) {
        return false;
    }
    const double a = 2.0 * u * (1.0 - u);
    const double b = u * u;
    point = lf_fromLocalFrame(curve.origin, {a * curve.control.east + b * curve.end.east,
                                             a * curve.control.north + b * curve.end.north});
    const double east =
        2.0 * (1.0 - u) * curve.control.east + 2.0 * u * (curve.end.east - curve.control.east);
    const double north =
        2.0 * (1.0 - u) * curve.control.north + 2.0 * u * (curve.end.north - curve.control.north);
    heading = intoFullCircle(std::atan2(east, north));
    return true;
}

void lf_startCurve(LiveAc& aircraft) {
    auto& stream = aircraft.stream;
    if (stream.size() < 3) {
        return;
    }
    if (stream[2].groundSpeed == 0.0) {
        stream[2].groundSpeed = (stream[0].groundSpeed + stream[1].groundSpeed) / 2.0;
    }
    const GeoPoint origin = pointOf(aircraft.position);
    aircraft.curveOriginLatitude = origin.lat;
    aircraft.curveOriginLongitude = origin.lon;
    aircraft.curveStartParameter = 0.0;
    aircraft.curveEndParameter = 1.0;
    const LocalOffset control = lf_toLocalFrame(origin, pointOf(stream[1]));
    const LocalOffset end = lf_toLocalFrame(origin, pointOf(stream[2]));
    aircraft.controlPointEast = control.east;
    aircraft.controlPointNorth = control.north;
    aircraft.curveEndEast = end.east;
    aircraft.curveEndNorth = end.north;
    stream.erase(stream.begin() + 1);
}

double lf_turnToward(double heading, double wanted, double rate) {
    const double from = heading * kRadToDeg;
    const double to = wanted * kRadToDeg;
    const double apart = std::fabs(wrapTo180(to - from));
    if (apart <= kDeadBandDegrees) {
        return heading;
    }
    // Never past the wanted heading: a fast turn would otherwise swing round it every pass.
    const double step = std::min(rate * kRadToDeg, apart);
    const double turned = headingGrows(from, to) ? from + step : from - step;
    return intoFullCircle(turned * kDegToRad);
}

void lf_normalisePosition(GeoPoint& point) {
    if (point.lat > 90.0) {
        point.lat = 180.0 - point.lat;
        point.lon += 180.0;
    } else if (point.lat < -90.0) {
        point.lat = -180.0 - point.lat;
        point.lon += 180.0;
    }
    double lon = std::fmod(point.lon + 180.0, 360.0);
    if (lon < 0.0) {
        lon += 360.0;
    }
    point.lon = lon - 180.0;
}

std::int32_t lf_turnPasses(double angleDeg, double rate) {
    const double passes = std::round(angleDeg / rate / 100.0);
    // A zero rate would give no end: the turn then takes the longest count rather than an undefined one.
    if (!(passes <= static_cast<double>(std::numeric_limits<std::int32_t>::max()))) {
        return std::numeric_limits<std::int32_t>::max();
    }
    return std::max<std::int32_t>(1, static_cast<std::int32_t>(passes));
}

TurnTiming lf_turnTiming(double angleDeg, double travelPasses, double metres, double turnRate) {
    TurnTiming timing{turnRate, false};
    if (!(angleDeg > 0.0 && metres > 0.0)) {
        return timing;
    }
    // The angle in degrees over a rate in radians per pass: the thresholds below are set for this mix.
    const double r = travelPasses / lf_turnPasses(angleDeg, turnRate);
    if (angleDeg <= 45.0) {
        if (r >= 1.2) {
            const double m = std::min({r, 10.0 * r / angleDeg, 30.0 * r / metres});
            if (m > 0.0) {
                timing.turnRate /= m;
            }
        } else if (r > 0.0) {
            timing.turnRate /= r;
        }
        return timing;
    }
    // Short of time (r below 1) a wide turn goes faster, as a narrow one does: slowing it down would keep the
    // aircraft turning on the spot while the segments it should drive run out.
    if (r < 1.0 && r > 0.0) {
        timing.turnRate /= r;
    } else {
        timing.turnRate *= std::min(r, std::min(angleDeg, 90.0) / 30.0);
    }
    timing.wideWindows = angleDeg >= 90.0;
    return timing;
}

} // namespace zeph
