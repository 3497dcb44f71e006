#include "support/pass_harness.h"

#include <algorithm>
#include <utility>

#include "realtraffic/report_queue.h"
#include "traffic/traffic_pass.h"
#include "traffic/traffic_tables.h"

namespace zeph::test {

PassHarness::PassHarness(FakeSimulator& fake, std::vector<ScriptedReport> script)
    : PassHarness([&fake] { fake.frame(); }, std::move(script)) {}

PassHarness::PassHarness(std::function<void()> frame, std::vector<ScriptedReport> script)
    : frame_(std::move(frame)), script_(std::move(script)), t0_(tickCounter.load()) {
    std::stable_sort(script_.begin(), script_.end(),
                     [](const ScriptedReport& a, const ScriptedReport& b) { return a.pass < b.pass; });
    setTrafficAccepting(true);
}

std::int64_t PassHarness::passesRun() const { return tickCounter.load() - t0_; }

void PassHarness::run(std::int64_t passes) {
    for (std::int64_t i = 0; i < passes; ++i) {
        const std::int64_t pass = passesRun();
        while (nextReport_ < script_.size() && script_[nextReport_].pass <= pass) {
            TrafficReport report = script_[nextReport_].report;
            gf_pushTrafficReport(std::move(report));
            ++nextReport_;
        }
        lf_handleAddingStack();
        frame_();
    }
}

void PassHarness::runThrough(std::int64_t pass) { run(pass + 1 - passesRun()); }

} // namespace zeph::test
