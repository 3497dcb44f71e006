// The soak: the scene's statics plus 500 circling aircraft for a quarter of an hour. Every 10 s the program's
// resident memory, its peak and its CPU time are sampled into demo/soak-report.json (also copied beside the
// test as soak-report.json); then the targets are checked. A benchmark: only with CORVANE_SOAK=ON.
#include <chrono>
#include <fstream>
#include <sstream>
#include <thread>

#include <gtest/gtest.h>
#include <unistd.h>

#include "app/e2e/whole_run_fixture.h"
#include "support/temp_dir.h"

namespace zeph::test {
namespace {

using nlohmann::json;

struct ProcessSample {
    double seconds = 0;
    double rssKb = 0;
    double hwmKb = 0;
    double cpuSeconds = 0;
};

double statusField(const std::string& status, const std::string& name) {
    const auto at = status.find(name + ":");
    return at == std::string::npos ? 0.0 : std::stod(status.substr(at + name.size() + 1));
}

bool sampleProcess(const std::string& pid, double seconds, ProcessSample& sample) {
    const std::string status = readFileBytes("/proc/" + pid + "/status");
    std::ifstream stat("/proc/" + pid + "/stat");
    std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
    if (status.empty() || text.empty()) {
        return false;
    }
    std::istringstream fields(text.substr(text.rfind(')') + 2));
    std::string skip;
    double user = 0;
    double system = 0;
    for (int k = 3; k < 14; ++k) {
        fields >> skip;
    }
    fields >> user >> system;
    sample = {seconds, statusField(status, "VmRSS"), statusField(status, "VmHWM"),
              (user + system) / static_cast<double>(::sysconf(_SC_CLK_TCK))};
    return true;
}

TEST(Soak, FiveHundredAircraftForTenMinutesStayWithinTheirBudget) {
    constexpr double kCreationPhase = 300;
    TempDir dir;
    DemoRun run;
    ASSERT_TRUE(stageInto(run, dir.path())) << run.staging.err;
    DemoProcess demo(run.dest, {"--build", buildDir().string(), "--in", run.dest.string(), "--headless",
                                "--scenario", "soak", "--duration", "900"});
    ASSERT_TRUE(waitForLine(run.stage / "demo" / "rt.jsonl", "Qs121=", 180));
    const auto start = std::chrono::steady_clock::now();
    std::vector<ProcessSample> samples;
    for (ProcessSample s;;) {
        std::this_thread::sleep_for(std::chrono::seconds(10));
        const std::string pid = readFileBytes(run.stage / "corvane.pid");
        const double seconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        if (pid.empty() || !sampleProcess(pid.substr(0, pid.find('\n')), seconds, s)) {
            break;
        }
        samples.push_back(s);
    }
    EXPECT_EQ(demo.wait(), 0);
    loadRun(run, "soak");

    std::size_t live = 0;
    double lastCreation = 0;
    for (const auto& c : run.sim.created) {
        if (!c.entry.refused && !c.entry.tailNumber.ends_with('*')) {
            ++live;
            lastCreation = std::max(lastCreation, run.sceneSeconds(c.at.wallMs));
        }
    }
    ASSERT_GE(samples.size(), 4U);
    const auto steadyFrom = std::find_if(samples.begin(), samples.end(),
                                         [&](const ProcessSample& s) { return s.seconds >= kCreationPhase; });
    ASSERT_NE(steadyFrom, samples.end());
    const double growth = samples.back().rssKb / steadyFrom->rssKb - 1;
    const double cpuShare =
        (samples.back().cpuSeconds - steadyFrom->cpuSeconds) / (samples.back().seconds - steadyFrom->seconds);
    const auto& stats = run.sim.stats;
    double positions = 0;
    double expected = 0;
    for (std::size_t k = 1; k < stats.size(); ++k) {
        if (run.sceneSeconds(stats[k].at.wallMs) >= kCreationPhase && stats[k].entry.connections > 0) {
            positions += static_cast<double>(stats[k].entry.packets - stats[k - 1].entry.packets);
            expected += static_cast<double>(stats[k].entry.frame - stats[k - 1].entry.frame) *
                        static_cast<double>(stats[k].entry.objects);
        }
    }
    json report = {{"liveCreated", live},
                   {"lastCreationSeconds", lastCreation},
                   {"rssGrowthSteady", growth},
                   {"cpuShareSteady", cpuShare},
                   {"rssKbPerLiveAircraft", steadyFrom->rssKb / std::max<std::size_t>(live, 1)},
                   {"positionsPerExpected", expected > 0 ? positions / expected : 0.0},
                   {"secondsFromSigtermToExit", run.result.at("secondsFromSigtermToExit")},
                   {"samples", json::array()}};
    for (const ProcessSample& s : samples) {
        report["samples"].push_back(
            {{"s", s.seconds}, {"rssKb", s.rssKb}, {"hwmKb", s.hwmKb}, {"cpu", s.cpuSeconds}});
    }
    writeFileBytes(run.stage / "demo" / "soak-report.json", report.dump(2) + "\n");
    writeFileBytes("soak-report.json", report.dump(2) + "\n");
    std::cout << report.dump(2) << "\n";

    EXPECT_GE(live, 500U);
    EXPECT_LE(lastCreation, kCreationPhase + 30);
    EXPECT_LE(growth, 0.05);
    EXPECT_LE(cpuShare, 0.35);
    EXPECT_GE(report["positionsPerExpected"].get<double>(), 0.9);
    EXPECT_TRUE(run.logLinesWith("adding stack full").empty());
    EXPECT_TRUE(run.sim.violations.empty());
    EXPECT_EQ(run.result.at("corvane"), 0);
    ASSERT_TRUE(run.result.at("secondsFromSigtermToExit").is_number());
    EXPECT_LE(run.result.at("secondsFromSigtermToExit").get<double>(), 10.0);
}

} // namespace
} // namespace zeph::test
