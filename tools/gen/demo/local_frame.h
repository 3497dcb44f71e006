#pragma once
// A flat frame of metres around one point of an airport: x along one compass bearing, y along the bearing
// 90 degrees to its left. Over the few kilometres of an apron the flat frame is exact to centimetres, and
// the inverse is exact, so positions read from an airport file come back to the same six decimals.

namespace zeph::gen {

struct LocalPoint {
    double x = 0;
    double y = 0;
};

struct GeoDegrees {
    double lat = 0;
    double lon = 0;
};

class LocalFrame {
public:
    LocalFrame() = default;
    LocalFrame(GeoDegrees origin, double xBearingDeg);

    GeoDegrees toGeo(LocalPoint point) const;
    LocalPoint toLocal(GeoDegrees geo) const;
    // The compass bearing (0..360) of a direction given in the frame.
    double bearingOf(double dx, double dy) const;
    double xBearing() const { return xBearingDeg_; }

private:
    GeoDegrees origin_;
    double xBearingDeg_ = 90;
};

double distanceBetween(LocalPoint a, LocalPoint b);

} // namespace zeph::gen
