#pragma once

// What the simulator reports about the AI objects, and the rules that follow. A minimal stand-in until the
// simulator results land.

namespace zeph {

// Takes the simulator's results; every pass, also while no flight runs.
void lf_handleSimResults();
// Keeps live aircraft out of the way of the flying user aircraft.
void lf_avoidUserAircraft();

} // namespace zeph
