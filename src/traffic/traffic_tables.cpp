#include "traffic/traffic_tables.h"

#include "aircraft/no_match_list.h"
#include "airports/park_airport_list.h"
#include "airports/stands.h"
#include "app/seam_trace.h"
#include "realtraffic/qnh.h"
#include "sim/livery_memory.h"
#include "traffic/making_way.h"
#include "traffic/park_airport_status.h"

#include <utility>

namespace zeph {

std::vector<LiveAc> liveAcTable;
std::vector<StaticAc> staticAcTable;
std::vector<StaticPlanEntry> staticPlan;
std::deque<TrafficReport> addingStack;
std::mutex addingStackMutex;
bool trafficAccepting = false;
std::vector<std::uint32_t> acIdsToAdd;
std::deque<AiCreateRequest> liveAddQueue;
std::deque<AiCreateRequest> staticAddQueue;
std::deque<std::uint32_t> removalQueue;
std::list<std::uint32_t> coupleCheckList;
std::atomic<std::int64_t> tickCounter{0};
bool landingFlare = false;

namespace {
// A report becomes due this many passes after its arrival: the delay that lets a stream build up ahead of
// the aircraft flying it.
constexpr std::int64_t kReportDelayPasses = 3000;
} // namespace

bool gf_pushTrafficReport(TrafficReport&& report) {
    const std::lock_guard lock(addingStackMutex);
    if (!trafficAccepting) {
        return false;
    }
    report.position.duePass = tickCounter.load() + kReportDelayPasses;
    addingStack.push_back(std::move(report));
    return true;
}

void setTrafficAccepting(bool accepting) {
    const std::lock_guard lock(addingStackMutex);
    trafficAccepting = accepting;
}

bool isTrafficAccepting() {
    const std::lock_guard lock(addingStackMutex);
    return trafficAccepting;
}

void lf_reserveTrafficTables() {
    noteSeamCall("lf_reserveTrafficTables");
    liveAcTable.reserve(512);
    staticAcTable.reserve(256);
    staticPlan.reserve(512);
    standList.reserve(512);
    ghostCallsigns.reserve(64);
    acIdsToAdd.reserve(64);
}

void lf_clearTrafficTables() {
    setParkAirportRecord({});
    ghostCallsigns.clear();
    staticPlan.clear();
    rememberedLiveries.clear();
    acIdsToAdd.clear();
    {
        const std::lock_guard lock(parkAirportListMutex);
        parkAirportList.clear();
        reservedStand.clear();
    }
    removalQueue = {};
    liveAddQueue = {};
    staticAddQueue = {};
    staticAcTable.clear();
    {
        const std::lock_guard lock(addingStackMutex);
        addingStack.clear();
    }
    landingFlare = false;
    liveAcTable.clear();
    standList.clear();
    coupleCheckList.clear();
    currentQnh.store(1013);
    gf_clearNoMatchList();
}

} // namespace zeph
