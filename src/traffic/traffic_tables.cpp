#include "traffic/traffic_tables.h"

#include <algorithm>

#include "aircraft/livery_memory.h"
#include "aircraft/no_match_list.h"
#include "airports/park_airport_list.h"
#include "airports/stands.h"
#include "core/log.h"
#include "realtraffic/qnh.h"
#include "realtraffic/report_queue.h"
#include "realtraffic/traffic_reader.h"
#include "sim/sim_link.h"
#include "state/main_window_state.h"
#include "state/run_state.h"
#include "traffic/making_way.h"
#include "traffic/max_fit.h"
#include "traffic/park_airport_status.h"
#include "traffic/sim_results.h"

#include <chrono>
#include <optional>
#include <string>
#include <utility>

#include <fmt/format.h>

namespace zeph {

std::vector<LiveAc> liveAcTable;
std::vector<StaticAc> staticAcTable;
std::vector<StaticPlanEntry> staticPlan;
std::vector<std::uint32_t> acIdsToAdd;
std::list<std::uint32_t> coupleCheckList;
bool landingFlare = false;

void lf_reserveTrafficTables() {
    // Once per process: the room outlives every clear, so later runs need none.
    static std::atomic<bool> reserved{false};
    if (reserved.exchange(true)) {
        return;
    }
    liveAcTable.reserve(512);
    staticAcTable.reserve(256);
    staticPlan.reserve(512);
    standList.reserve(512);
    ghostCallsigns.reserve(64);
    liveParkedList.reserve(64);
    seenCallsigns.reserve(256);
    fitOutList.reserve(256);
    acIdsToAdd.reserve(64);
    createdList.reserve(128);
    const std::lock_guard lock(simResultMutex);
    simResultQueue.reserve(256);
}

namespace {
// The mean parked times of the display back to "not shown", repainted once when one was shown.
void resetAverageFits() {
    constexpr float kNotShown = -1.0F;
    const bool liveShown = mainWindowState.liveAverageFit.exchange(kNotShown) != kNotShown;
    const bool staticShown = mainWindowState.staticAverageFit.exchange(kNotShown) != kNotShown;
    if (liveShown || staticShown) {
        mainWindowState.invalidateArea(countersArea);
    }
}
} // namespace

void lf_clearTrafficTables() {
    setParkAirportRecord({});
    trafficReader.setReferenceElevation(std::nullopt);
    resetAverageFits();
    {
        const std::lock_guard lock(simResultMutex);
        simResultQueue.clear();
    }
    createdList.clear();
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
    seenCallsigns.clear();
    fitOutList.clear();
    keptStatics.clear();
    parkingRemovalList.clear();
    parkAirportLoaded.store(false);
    staticAcTable.clear();
    {
        const std::lock_guard lock(addingStackMutex);
        addingStack.clear();
    }
    landingFlare = false;
    liveAcTable.clear();
    lf_clearParkPositions();
    coupleCheckList.clear();
    currentQnh.store(1013);
    currentWeekSlot.store(0);
    gf_clearNoMatchList();
}

LiveAc* gf_findLiveAc(std::uint32_t hexid) {
    const auto found = std::find_if(liveAcTable.begin(), liveAcTable.end(),
                                    [hexid](const LiveAc& aircraft) { return aircraft.hexid == hexid; });
    return found != liveAcTable.end() ? &*found : nullptr;
}

} // namespace zeph
