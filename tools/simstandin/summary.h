#pragma once
// What a run did in the simulator, in the few lines a person reads at its end: the live aircraft, their
// take-offs and landings, the static ones (their tails end in '*') and the protocol violations.
#include <string>
#include <string_view>
#include <vector>

#include <nlohmann/json.hpp>

#include "simstandin/record.h"

namespace zeph::standin {

struct RunSummary {
    int liveCreated = 0;
    int refused = 0;      // live creations the simulator refused
    int createdAgain = 0; // of their tails, those created later
    int removed = 0;      // live objects removed on the client's request
    int flightPlans = 0;  // given to live objects
    // Live objects seen on the ground and later in the air (take-offs), or in the air and later on the
    // ground (landings), by the sampled positions; each object counts at most once for each.
    int takeOffs = 0;
    int landings = 0;
    // The stands of the statics, from the program's "<stand>: <callsign> parked" log lines; a static the log
    // does not place shows its tail. In stand order.
    std::vector<std::string> statics;
    // Of those, the ones the program removed during the run (on its request, not at its end), named the same
    // way. In stand order.
    std::vector<std::string> staticsRemoved;
    int violations = 0;
    // Objects in the simulator at the record's last line: created and not removed since.
    int liveNow = 0;
    int staticNow = 0;
};

// logText may be empty.
RunSummary summarize(const Record& record, std::string_view logText);
std::vector<std::string> summaryLines(const RunSummary& summary);
nlohmann::json summaryJson(const RunSummary& summary);
// "live aircraft in the simulator N, static M": a line of how a run stands while it goes on.
std::string nowLine(const RunSummary& summary);

} // namespace zeph::standin
