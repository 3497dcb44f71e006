#include "realtraffic/report_queue.h"

#include <atomic>
#include <optional>
#include <string>
#include <utility>

#include <fmt/format.h>

#include "core/log.h"
#include "state/run_state.h"

namespace zeph {

std::deque<TrafficReport> addingStack;
std::mutex addingStackMutex;
bool trafficAccepting = false;

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

} // namespace zeph
