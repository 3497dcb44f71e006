#pragma once

// The static parking plan of the park airport. A minimal stand-in until the static parking lands.

namespace zeph {

// One planned static aircraft; the static parking gives it its fields.
struct StaticPlanEntry {};

// Adjusts the static parking to the stands' learned use (the second phase of a renewal).
void lf_parkingAdjustments();

} // namespace zeph
