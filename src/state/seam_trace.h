#pragma once
#include <functional>
#include <string>
#include <string_view>
#include <vector>

// A test aid for the minimal stand-ins of the program's parts that are not built yet (the simulator link,
// the aircraft data, the airports, most of the traffic engine and of the RealTraffic link).
// Each stand-in notes its call here, and the few whose result steers a run read it from the script. It goes
// away with the last stand-in.

namespace zeph {

// Appends "name" or "name arg" to the trace, then calls the script's onCall hook with the name (the text up
// to the first blank), outside the trace's lock, so the hook may throw or block.
void noteSeamCall(std::string call);

// The calls noted since the last take, in order; the trace is empty afterwards.
std::vector<std::string> takeSeamCalls();

// The results of the stand-ins that steer a run. Defaults: success. Set it before the run starts; the run's
// threads only read it.
struct SeamScript {
    // Called with the name of every noted call; may throw from it or block in it.
    std::function<void(std::string_view name)> onCall;
};
SeamScript& seamScript();

// An empty trace and the default script.
void resetSeamTrace();

} // namespace zeph
