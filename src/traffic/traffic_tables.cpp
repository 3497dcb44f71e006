#include "traffic/traffic_tables.h"

#include <algorithm>

#include "aircraft/livery_memory.h"
#include "aircraft/no_match_list.h"
#include "airports/park_airport_list.h"
#include "airports/stands.h"
#include "core/log.h"
#include "realtraffic/qnh.h"
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

std::atomic<std::uint64_t> discardedReportCount{0};

// The log lines of discarded reports; guarded by addingStackMutex. A spell of discards starts with one line;
// while it lasts, a count comes at most once a minute. A minute without discards ends the spell.
struct DiscardSpell {
    std::chrono::steady_clock::time_point lastDiscard{};
    std::chrono::steady_clock::time_point countStart{};
    std::uint64_t counted = 0;
    bool running = false;
};
DiscardSpell discardSpell;
// Read under addingStackMutex, like the spell.
std::function<std::chrono::steady_clock::time_point()> discardClock;

// Counts one discard; the log line it calls for, if any, to be written after the lock is given up.
std::optional<std::string> noteDiscard() {
    using namespace std::chrono_literals;
    discardedReportCount.fetch_add(1);
    const auto now = discardClock ? discardClock() : std::chrono::steady_clock::now();
    DiscardSpell& spell = discardSpell;
    std::optional<std::string> line;
    if (!spell.running || now - spell.lastDiscard >= 60s) {
        spell = {now, now, 0, true};
        line = "adding stack full, traffic reports discarded";
    } else if (now - spell.countStart >= 60s) {
        line = fmt::format("{} traffic reports discarded in the last minute", spell.counted + 1);
        spell.countStart = now;
        spell.counted = 0;
    } else {
        ++spell.counted;
    }
    spell.lastDiscard = now;
    return line;
}
} // namespace

void setDiscardClockForTests(std::function<std::chrono::steady_clock::time_point()> clock) {
    const std::lock_guard lock(addingStackMutex);
    discardClock = std::move(clock);
    discardSpell = {};
}

std::uint64_t discardedReports() { return discardedReportCount.load(); }

bool gf_pushTrafficReport(TrafficReport&& report) {
    std::optional<std::string> discardLine;
    {
        const std::lock_guard lock(addingStackMutex);
        if (!trafficAccepting) {
            return false;
        }
        if (addingStack.size() < kAddingStackLimit) {
            report.position.duePass = tickCounter.load() + kReportDelayPasses;
            addingStack.push_back(std::move(report));
            return true;
        }
        discardLine = noteDiscard();
    }
    if (discardLine) {
        gf_logText(*discardLine);
    }
    return false;
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
