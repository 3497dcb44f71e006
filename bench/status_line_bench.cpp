// What a status-line write costs its sender (scan workers write one per file) against a bare "lock, assign,
// flag", from one thread and from four, with the headless window's loop running and repainting; and how many
// repaints the writes cause. Also one paint of the whole window on a recording painter.
#include <atomic>
#include <cstdlib>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include <benchmark/benchmark.h>
#include <fmt/format.h>

#include "app/window/status_display.h"
#include "app/window/ui.h"
#include "app/window/ui_headless.h"
#include "state/main_window_state.h"
#include "state/status_line.h"

namespace {

using namespace zeph;

const std::string statusText = "Scanning liveries: SimObjects/Airplanes/B737-800/aircraft.cfg";

std::atomic<long> paints{0};

// The window's message loop: it runs while the status writes are measured, so that their repaints happen.
std::jthread guiLoop;

// Painting belongs to one thread; the paint measurement takes the GUI thread's place once the loop has ended.
void stopGuiLoop() {
    if (guiLoop.joinable()) {
        ui().postQuit(0);
        guiLoop.join();
    }
}

// --- the baseline: lock a mutex, assign the string, set an atomic flag ---
std::mutex baselineMutex;
std::string baselineText;
std::atomic<bool> baselineDirty{false};

void BM_baseline(benchmark::State& state) {
    for (auto _ : state) {
        const std::lock_guard lock(baselineMutex);
        baselineText = statusText;
        baselineDirty.store(true);
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_baseline)->Iterations(1000000)->UseRealTime()->Threads(1);
BENCHMARK(BM_baseline)->Iterations(250000)->UseRealTime()->Threads(4);

// Paints counted over each run, as repaints per 10^6 calls.
void BM_setStatus(benchmark::State& state) {
    const long paintsBefore = paints.load();
    for (auto _ : state) {
        gf_setStatus(statusText, false);
    }
    state.SetItemsProcessed(state.iterations());
    if (state.thread_index() == 0) {
        const double calls = static_cast<double>(state.iterations()) * state.threads();
        state.counters["repaints_per_1e6_calls"] =
            static_cast<double>(paints.load() - paintsBefore) * 1e6 / calls;
    }
}
BENCHMARK(BM_setStatus)->Iterations(1000000)->UseRealTime()->Threads(1);
BENCHMARK(BM_setStatus)->Iterations(250000)->UseRealTime()->Threads(4);

// Keeps the ops so that the painting does the work a real paint does.
class RecordingPainter final : public Painter {
public:
    void fillRect(const Rect& area, Rgb colour) override { ops.push_back(DrawOp::fill(area, colour)); }
    void line(int x1, int y1, int x2, int y2, Rgb colour) override {
        ops.push_back(DrawOp::line(x1, y1, x2, y2, colour));
    }
    void text(int x, int y, std::string_view utf8, Rgb colour) override {
        ops.push_back(DrawOp::textAt(x, y, std::string(utf8), colour));
    }
    std::vector<DrawOp> ops;
};

void BM_paintStatus(benchmark::State& state) {
    stopGuiLoop();
    std::size_t opsPerPaint = 0;
    for (auto _ : state) {
        RecordingPainter painter;
        lf_paintStatus(painter);
        opsPerPaint = painter.ops.size();
        benchmark::DoNotOptimize(painter.ops.data());
    }
    state.counters["ops_per_paint"] = static_cast<double>(opsPerPaint);
}
BENCHMARK(BM_paintStatus)->Iterations(20000);

std::intptr_t benchWindowProc(WindowHandle window, unsigned msg, std::uintptr_t wParam,
                              std::intptr_t lParam) {
    if (msg == Msg::Paint) {
        lf_paintStatus(*reinterpret_cast<Painter*>(wParam));
        paints.fetch_add(1);
        return 0;
    }
    return ui().defWindowProc(window, msg, wParam, lParam);
}

// A window that shows every field, so that a paint draws what a busy run draws.
void fillDisplay() {
    MainWindowState& s = mainWindowState;
    s.simConnected = true;
    s.flightRunning = true;
    s.setSimText("Prepar3D v6.1");
    s.setUserAcTitle("Boeing 737-800 Corvane House");
    s.realTrafficNotStarted = false;
    s.realTrafficConnected = true;
    s.trafficReaderState = 1;
    s.qnhReaderState = 1;
    s.qnh = 1013;
    s.liveCount = 87;
    s.liveryCount = 12345;
    s.setParkAirportCode("EDDF");
    s.setParkAirportName("Frankfurt");
    s.parkFileFound = true;
    s.maxPark = 200;
}

class Reporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const auto& run : runs) {
            for (const auto& [name, counter] : run.counters) {
                values[run.benchmark_name() + "#" + name] = counter.value;
            }
        }
        ConsoleReporter::ReportRuns(runs);
    }
    double value(const std::string& prefix, const std::string& counter) const {
        for (const auto& [name, v] : values) {
            if (name.rfind(prefix, 0) == 0 && name.ends_with("#" + counter)) {
                return v;
            }
        }
        return 0.0;
    }
    std::map<std::string, double> values;
};

} // namespace

int main(int argc, char** argv) {
    setenv("CORVANE_UI", "headless", 1);
    uiInit();
    HeadlessUi& headless = headlessUi();
    headless.setRecording(false);
    ui().registerClass("StatusBench", benchWindowProc, appIconId);
    const WindowHandle window = ui().createMainWindow("StatusBench", "Status bench", 0, 0, 880, 476);
    ui().show(window);
    mainWindowState.mainWindow = window;
    fillDisplay();
    guiLoop = std::jthread([] { ui().runMessageLoop(); });

    benchmark::Initialize(&argc, argv);
    Reporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    stopGuiLoop();

    const auto perCall = [&](const std::string& prefix) {
        const double rate = reporter.value(prefix, "items_per_second");
        return rate > 0 ? 1e9 / rate : 0.0;
    };
    for (const int threads : {1, 4}) {
        const std::string suffix = fmt::format("/real_time/threads:{}", threads);
        const double base = perCall(fmt::format("BM_baseline/iterations:{}{}", 1000000 / threads, suffix));
        const double status = perCall(fmt::format("BM_setStatus/iterations:{}{}", 1000000 / threads, suffix));
        fmt::print(
            "gf_setStatus, {} thread(s): {:.1f} ns per call vs baseline {:.1f} ns: {:.2f}x (target <= 3x); "
            "{:.1f} repaints per 10^6 calls\n",
            threads, status, base, base > 0 ? status / base : 0.0,
            reporter.value(fmt::format("BM_setStatus/iterations:{}{}", 1000000 / threads, suffix),
                           "repaints_per_1e6_calls"));
    }
    fmt::print("lf_paintStatus: {:.0f} ops per paint (no target)\n",
               reporter.value("BM_paintStatus", "ops_per_paint"));
    return 0;
}
