#include "gen/demo/reports.h"

#include <cmath>
#include <numbers>

namespace zeph::gen {

namespace {

constexpr double kMetresPerSecondPerKnot = 1852.0 / 3600.0;

double normalised(double deg) {
    const double d = std::fmod(deg, 360.0);
    return d < 0 ? d + 360.0 : d;
}

double pathLength(const std::vector<LocalPoint>& path) {
    double length = 0;
    for (std::size_t k = 1; k < path.size(); ++k) {
        length += distanceBetween(path[k - 1], path[k]);
    }
    return length;
}

struct PathPlace {
    LocalPoint where;
    double dx = 0; // direction of the segment it lies on
    double dy = 0;
    std::size_t segment = 0;
    double along = 0; // 0..1 within the segment
};

// The point s metres along the path; beyond its end the last segment goes on straight.
PathPlace placeOnPath(const std::vector<LocalPoint>& path, double s) {
    for (std::size_t k = 1; k < path.size(); ++k) {
        const double length = distanceBetween(path[k - 1], path[k]);
        const bool last = k + 1 == path.size();
        if (length <= 0 && !last) {
            continue;
        }
        if (s <= length || last) {
            const double f = length > 0 ? s / length : 0;
            const double dx = path[k].x - path[k - 1].x;
            const double dy = path[k].y - path[k - 1].y;
            return {{path[k - 1].x + f * dx, path[k - 1].y + f * dy}, dx, dy, k - 1, f};
        }
        s -= length;
    }
    return {path.front(), 0, 1, 0, 0};
}

Report sample(const Leg& leg, const LocalFrame& frame, double groundFt, double t) {
    const double span = leg.to - leg.from;
    const double tau = span > 0 ? (t - leg.from) / span : 0;
    Report report;
    report.at = t;
    report.altFt = groundFt;
    if (leg.kind == LegKind::Parked) {
        report.where = leg.path.front();
        report.trackDeg = leg.headingDeg;
        report.trueHeadingDeg = leg.headingDeg;
    } else if (leg.kind == LegKind::Circle) {
        const double radians = (leg.phaseDeg + leg.speedKt * kMetresPerSecondPerKnot * (t - leg.from) /
                                                   leg.radiusMetres * 180.0 / std::numbers::pi) *
                               std::numbers::pi / 180.0;
        report.where = {leg.path.front().x + leg.radiusMetres * std::cos(radians),
                        leg.path.front().y + leg.radiusMetres * std::sin(radians)};
        report.trackDeg = frame.bearingOf(-std::sin(radians), std::cos(radians));
        report.speedKt = leg.speedKt;
        report.altFt = leg.altFt;
        report.onGround = false;
    } else {
        const double length = pathLength(leg.path);
        double s = length * tau;
        double speed = span > 0 ? length / span : 0; // metres per second
        if (leg.kind == LegKind::Roll) {
            // Even acceleration between the two speeds; the path gives the direction, not the distance.
            const double v0 = leg.speedFromKt * kMetresPerSecondPerKnot;
            const double v1 = leg.speedToKt * kMetresPerSecondPerKnot;
            s = span * (v0 * tau + (v1 - v0) * tau * tau / 2);
            speed = v0 + (v1 - v0) * tau;
        }
        const PathPlace place = placeOnPath(leg.path, s);
        report.where = place.where;
        report.speedKt = speed / kMetresPerSecondPerKnot;
        report.trackDeg = frame.bearingOf(place.dx, place.dy);
        if (leg.kind == LegKind::Air) {
            const double a0 = leg.alts[place.segment];
            const double a1 = leg.alts[std::min(place.segment + 1, leg.alts.size() - 1)];
            const double segmentSeconds =
                speed > 0 ? distanceBetween(leg.path[place.segment], leg.path[place.segment + 1]) / speed : 0;
            report.altFt = a0 + (a1 - a0) * std::min(place.along, 1.0);
            report.verticalFpm = segmentSeconds > 0 ? (a1 - a0) / segmentSeconds * 60 : 0;
            report.onGround = false;
        }
        report.trueHeadingDeg = report.trackDeg;
        if (leg.kind == LegKind::Push) {
            // Tail first: the nose points away from the motion unless the leg says how it turns.
            report.trueHeadingDeg = normalised(*report.trackDeg + 180);
            if (leg.pushHeadings) {
                const auto [first, last] = *leg.pushHeadings;
                const double turn = normalised(last - first + 180) - 180; // the shorter way round
                report.trueHeadingDeg = normalised(first + turn * tau);
            }
        }
    }
    if (!leg.track) {
        report.trackDeg.reset();
    }
    if (!leg.trueHeading) {
        report.trueHeadingDeg.reset();
    }
    return report;
}

} // namespace

double reportInterval(LegKind kind) {
    switch (kind) {
    case LegKind::Parked:
        return 10;
    case LegKind::Air:
    case LegKind::Circle:
        return 4;
    default:
        return 3;
    }
}

std::vector<Report> reportsOf(const std::vector<Leg>& legs, const LocalFrame& frame, double groundFt) {
    std::vector<Report> reports;
    for (const Leg& leg : legs) {
        const double step = reportInterval(leg.kind);
        // Whole steps from the leg's start keep the times free of rounding drift; the end is always sent.
        for (int k = 0;; ++k) {
            const double t = leg.from + k * step;
            if (t > leg.to - 0.5) {
                break;
            }
            reports.push_back(sample(leg, frame, groundFt, t));
        }
        reports.push_back(sample(leg, frame, groundFt, leg.to));
    }
    return reports;
}

} // namespace zeph::gen
