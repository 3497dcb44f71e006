#pragma once

// Writing what was learned at the park airport into its learned file when the airport is left.

namespace zeph {

// Saves standList's learned data (or, when handmade, the whole airport) into apfLearnedFile, else the
// publisher's learned file, and resets learnedUpdateCount. Never leaves a half-written file; a learned
// file that was not read completely is kept as its "0" copy first. Failures are logged. Traffic thread.
void lf_saveLearnedAirports();

} // namespace zeph
