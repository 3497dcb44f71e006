#pragma once
#include <cstdint>
#include <functional>
#include <vector>

#include "model/records.h"
#include "support/fake_simulator.h"

// Runs traffic passes against the fake simulator with the pass counter as the only clock: per pass the
// script's due reports go through gf_pushTrafficReport, then lf_handleAddingStack(), then fake.frame().
// No sleeping. t0 is tickCounter when the harness is made; script passes and assertions count from it.

namespace zeph::test {

// A report pushed before the pass t0 + pass runs.
struct ScriptedReport {
    std::int64_t pass = 0;
    TrafficReport report;
};

class PassHarness {
public:
    // Turns the intake on (trafficAccepting); the script is taken in pass order, equal passes in order given.
    PassHarness(FakeSimulator& fake, std::vector<ScriptedReport> script = {});
    // The same with another simulator: frame runs after each pass.
    PassHarness(std::function<void()> frame, std::vector<ScriptedReport> script);

    // Runs this many passes.
    void run(std::int64_t passes);
    // Runs passes until the one numbered t0 + pass has run.
    void runThrough(std::int64_t pass);

    std::int64_t t0() const { return t0_; }
    // Passes run so far.
    std::int64_t passesRun() const;

private:
    std::function<void()> frame_;
    std::vector<ScriptedReport> script_;
    std::size_t nextReport_ = 0;
    std::int64_t t0_;
};

} // namespace zeph::test
