#include "traffic/traffic_tables.h"

#include "aircraft/no_match_list.h"
#include "airports/park_airport_list.h"
#include "airports/stands.h"
#include "app/seam_trace.h"
#include "realtraffic/qnh.h"
#include "sim/livery_memory.h"
#include "traffic/making_way.h"
#include "traffic/park_airport_status.h"

namespace zeph {

std::vector<LiveAc> liveAcTable;
std::vector<StaticAc> staticAcTable;
std::vector<StaticPlanEntry> staticPlan;
std::deque<TrafficReport> addingStack;
std::mutex addingStackMutex;
bool trafficAccepting = false;
std::list<std::uint32_t> coupleCheckList;
std::int64_t tickCounter = 0;

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
}

void lf_clearTrafficTables() {
    setParkAirportRecord({});
    ghostCallsigns.clear();
    staticPlan.clear();
    rememberedLiveries.clear();
    {
        const std::lock_guard lock(parkAirportListMutex);
        parkAirportList.clear();
        reservedStand.clear();
    }
    staticAcTable.clear();
    {
        const std::lock_guard lock(addingStackMutex);
        addingStack.clear();
    }
    liveAcTable.clear();
    standList.clear();
    coupleCheckList.clear();
    currentQnh.store(1013);
    gf_clearNoMatchList();
}

} // namespace zeph
