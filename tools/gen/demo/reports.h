#pragma once
// What a receiver of the scene's traffic would see of one aircraft: a report every few seconds along its
// legs, with the speed, track, heading and vertical rate that its motion gives.
#include <optional>
#include <vector>

#include "gen/demo/local_frame.h"
#include "gen/demo/scene.h"

namespace zeph::gen {

struct Report {
    double at = 0; // seconds of the scene
    LocalPoint where;
    double altFt = 0;
    bool onGround = true;
    double speedKt = 0;
    double verticalFpm = 0;
    std::optional<double> trackDeg;
    std::optional<double> trueHeadingDeg;
};

// Seconds between reports: parked 10, on the move on the ground 3, in the air 4.
double reportInterval(LegKind kind);

// Every report of the legs, in time order; groundFt is the altitude of every report on the ground.
std::vector<Report> reportsOf(const std::vector<Leg>& legs, const LocalFrame& frame, double groundFt);

} // namespace zeph::gen
