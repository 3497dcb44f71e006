#include "app/entry_point.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <exception>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include <fmt/format.h>
#include <pugixml.hpp>

#include "app/closing_down.h"
#include "app/main_loop.h"
#include "app/startup_thread.h"
#include "app/window/close_signals.h"
#include "app/window/control_handlers.h"
#include "app/window/controls.h"
#include "app/window/status_display.h"
#include "core/clock.h"
#include "core/generations.h"
#include "core/log.h"
#include "core/program.h"
#include "core/run_flags.h"
#include "core/status_sink.h"
#include "core/time_text.h"
#include "realtraffic/rt_server.h"
#include "realtraffic/traffic_clock_source.h"
#include "settings/control_sink.h"
#include "settings/data_tree.h"
#include "settings/parameter_table.h"
#include "settings/xml_parameters.h"
#include "state/exit_reason.h"
#include "state/main_window_state.h"
#include "state/status_line.h"
#include "traffic/live_table_services.h"

namespace zeph {

std::atomic<bool> productionMode{false};
std::atomic<std::int32_t> exitCode{0};
std::jthread startThread;
std::atomic<WindowHandle> lastMessageWindow{nullptr};

namespace fs = std::filesystem;

namespace {

// The client area; the frame is the window manager's.
constexpr int mainWindowWidth = 880;
constexpr int mainWindowHeight = 476;

bool equalsIgnoringCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t k = 0; k < a.size(); ++k) {
        const auto lower = [](char c) {
            return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
        };
        if (lower(a[k]) != lower(b[k])) {
            return false;
        }
    }
    return true;
}

// The status line and the controls are reached from core and settings only through these hooks. They stay
// installed until lf_runApplication returns, after every thread it started has been joined.
class HookScope {
public:
    HookScope() {
        setStatusSink(&statusLineSink());
        setControlSink(&windowControlSink());
        previousPort_ = setWindowPort(&mainWindowPort());
        setTrafficClockSource(&realTrafficClockSource());
        setLiveTrafficRemoval(&lf_takeLiveTrafficOut);
    }
    ~HookScope() {
        setLiveTrafficRemoval(nullptr);
        setTrafficClockSource(nullptr);
        setWindowPort(previousPort_);
        setControlSink(nullptr);
        setStatusSink(nullptr);
    }
    HookScope(const HookScope&) = delete;
    HookScope& operator=(const HookScope&) = delete;

private:
    WindowPort* previousPort_ = nullptr;
};

// After the loop: a run that still goes (the window was destroyed by something else, or a signal ended the
// loop) is asked to end, which changes nothing once the run has ended; every wait is told that the program
// ends; then the run and every thread it started are joined, so nothing outlives the program. It also runs at
// exit, so that an exit from inside a library (a fatal toolkit error) ends the run in order before the static
// destructors take its state away; the start-up thread never joins itself then.
void endRun() {
    gf_setExitReason(ExitReason::USER_CLOSED_SIM, 0);
    processEnding.store(true);
    if (startThread.joinable() && startThread.get_id() != std::this_thread::get_id()) {
        startThread.join();
    }
    stopSimClientThread();
    stopReaderThreads();
}

// The watcher of the loop that runs; the lost display ends it too.
std::unique_ptr<CloseSignalWatcher> signalWatcher;

void endLoop() {
    if (signalWatcher) {
        signalWatcher->stop();
    }
    endRun();
}

// What the message loop leaves behind, ended however the loop ends. Once everything is joined, a later start
// in the same process (tests) begins without the end flag.
class LoopScope {
public:
    explicit LoopScope(WindowHandle window) { signalWatcher = closeOnSignals(window); }
    ~LoopScope() {
        endLoop();
        signalWatcher.reset();
        processEnding.store(false);
    }
    LoopScope(const LoopScope&) = delete;
    LoopScope& operator=(const LoopScope&) = delete;
};

// Beyond the closing down's own longest wait, for the joins and the log.
constexpr std::chrono::seconds lostDisplayMargin{5};

// A lost display closes the program as the close button would: the close goes the way of SIGTERM's, the loop
// goes on without the display until the closing down posts its quit, everything is joined as after the loop,
// and the process ends with the loop's code; the log ends as after a close. Before the run has started (the
// display went while it was opened or while the window was made) there is nothing to close: one line says so
// and the process ends with 0. Static destructors are skipped: the toolkit's would call the display that is
// gone. A closing down that does not end in time is logged, and the process ends with 1.
[[noreturn]] void closeAfterLostDisplay() {
    // The handler runs on the GUI thread, the only one that starts the run.
    if (!startThread.joinable()) {
        gf_logText("The display is gone or does not open before the run started, exiting");
        gf_flushLog();
        std::fflush(nullptr);
        std::_Exit(0);
    }
    ui().postMessage(mainWindowState.mainWindow.load(), Msg::Close, 0, 0);
    const auto limit =
        std::chrono::duration_cast<std::chrono::seconds>(closingDownLongestWait + lostDisplayMargin);
    const std::optional<int> code = ui().runMessageLoopWithoutDisplay(limit);
    if (code) {
        endLoop();
    } else {
        gf_logText(fmt::format("The closing down did not end within {} s, exiting", limit.count()));
    }
    gf_flushLog();
    std::fflush(nullptr);
    std::_Exit(code.value_or(1));
}

bool ensureAppDataFolder() {
    try {
        const fs::path folder = appDataDir();
        if (!fs::exists(folder)) {
            fs::create_directories(folder);
        }
    } catch (const fs::filesystem_error& error) {
        gf_logText(fmt::format("Failed to create directory: {}", error.what()));
        return false;
    }
    return true;
}

// A file-system error inside initInstance (a parameters.xml that cannot even be queried) ends the start like
// any other failure of it, with its text in the log, instead of ending the process.
bool openMainWindow(const std::string& title) {
    try {
        if (initInstance(title)) {
            return true;
        }
    } catch (const std::exception& error) {
        gf_logText(error.what());
    }
    gf_logLine("initInstance failed");
    return false;
}

bool waitForMainWindowState() {
    for (int attempt = 0; attempt < 18; ++attempt) {
        if (mainWindowState.ready.load()) {
            return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return mainWindowState.ready.load();
}

void takeStoredCoordinate(NumParameter<std::int32_t>& coordinate, const pugi::xml_document& document) {
    const std::optional<std::int32_t> stored = gf_getIntParameter(document, coordinate.key);
    coordinate.setValue(stored ? coordinate.clamp(*stored) : coordinate.defaultValue);
}

// --- the window procedure's messages ---

void answerColours(std::uintptr_t wParam) {
    if (auto* colours = reinterpret_cast<ControlColours*>(wParam)) {
        colours->opaque = true;
        colours->background = MainWindowState::lightBlueBrush;
    }
}

// The window stays; the run sees the flags, ends, and posts saveAndQuitMessage. A reason recorded earlier
// stays the reason.
void closeRequested() {
    gf_setStatus(fmt::format("Close window button clicked, closing {} ...", programId), false);
    gf_setExitReason(ExitReason::USER_CLOSED_SIM, 0);
}

// The previous run posted this message as its last act and then only flushes the log, so joining it is
// quick. The new run is kept, never detached.
void startRun() {
    if (startThread.joinable()) {
        startThread.join();
    }
    startThread = std::jthread(lf_startThread);
}

// A coordinate at an end of its range (a window dragged far off the screen) keeps its value from before.
void saveWindowPositionAndQuit(WindowHandle window) {
    const Rect rect = ui().windowRect(window);
    const std::int32_t previousX = MAIN_WINDOW_X.get();
    const std::int32_t previousY = MAIN_WINDOW_Y.get();
    MAIN_WINDOW_X.set(MAIN_WINDOW_X.clamp(rect.left));
    MAIN_WINDOW_Y.set(MAIN_WINDOW_Y.clamp(rect.top));
    lf_fixWindowPosition(previousX, previousY);
    lf_logAndFlush(gf_timeText(std::time(nullptr)));
    ui().postQuit(exitCode.load());
}

} // namespace

void readWindowPosition() {
    const fs::path file = parametersFile();
    pugi::xml_document document;
    if (document.load_file(file.c_str())) {
        takeStoredCoordinate(MAIN_WINDOW_X, document);
        takeStoredCoordinate(MAIN_WINDOW_Y, document);
        lf_fixWindowPosition(MAIN_WINDOW_X.defaultValue, MAIN_WINDOW_Y.defaultValue);
        return;
    }
    if (!fs::exists(file)) {
        return;
    }
    // The user's only copy is removed only once it is kept aside.
    if (!gf_save1GenerationOf(file)) {
        gf_logLine(
            fmt::format("{} failed to load, syntax error?\n --> could not be saved as 0.xml, file kept\n",
                        parametersFileUtf8()));
        return;
    }
    gf_logLine(fmt::format("{} failed to load, syntax error?\n --> saved as 0.xml,  file removed\n",
                           parametersFileUtf8()));
    fs::remove(file);
}

ProductionSwitch lf_readProductionSwitch(std::span<const std::string_view> arguments) {
    ProductionSwitch result;
    for (std::string_view argument : arguments) {
        if (equalsIgnoringCase(argument, "--production") || equalsIgnoringCase(argument, "/production")) {
            result = {true, true};
        } else if (equalsIgnoringCase(argument, "--no-production") ||
                   equalsIgnoringCase(argument, "/no-production")) {
            result = {false, true};
        }
    }
    return result;
}

// The program path (argv[0]) is never looked at.
ProductionSwitch lf_readProductionSwitch(int argc, const char* const* argv) {
    std::vector<std::string_view> arguments;
    for (int k = 1; k < argc; ++k) {
        arguments.emplace_back(argv[k]);
    }
    return lf_readProductionSwitch(arguments);
}

int lf_runApplication(int argc, const char* const* argv) {
    // Before the window layer opens the display, which may already be gone.
    setDisplayLostHandler(closeAfterLostDisplay);
    uiInit();
    // After the window layer exists, so that it is still there when the handler runs.
    static const bool endsAtExit = std::atexit(endRun) == 0;
    static_cast<void>(endsAtExit);
    const ProductionSwitch production = lf_readProductionSwitch(argc, argv);
    const HookScope hooks;
    const std::string title = ui().loadString(appTitleStringId);
    if (title.empty()) {
        gf_logText("Failed to load application title");
        return 0;
    }
    if (!ui().registerClass(title, lf_WndProc, appIconId)) {
        gf_logText("Failed to register window class");
        return 0;
    }
    if (!ensureAppDataFolder() || !openMainWindow(title)) {
        return 0;
    }
    if (production.given && production.value) {
        productionMode.store(true);
    }
    const WindowHandle window = mainWindowState.mainWindow.load();
    {
        const LoopScope loop(window);
        ui().postMessage(window, startRunMessage, 0, 0);
        ui().runMessageLoop();
    }
    return exitCode.load();
}

bool initInstance(std::string_view title) {
    if (!waitForMainWindowState()) {
        return false;
    }
    readWindowPosition();
    const WindowHandle window = ui().createMainWindow(title, title, MAIN_WINDOW_X.get(), MAIN_WINDOW_Y.get(),
                                                      mainWindowWidth, mainWindowHeight);
    mainWindowState.mainWindow.store(window);
    if (window == nullptr) {
        return false;
    }
    ui().show(window);
    return ui().update(window);
}

std::intptr_t lf_WndProc(WindowHandle window, unsigned msg, std::uintptr_t wParam, std::intptr_t lParam) {
    lastMessageWindow.store(window);
    switch (msg) {
    case Msg::Create:
        lf_createControls(window);
        return 0;
    case Msg::Destroy:
        ui().postQuit(0);
        return 0;
    case Msg::Paint:
        if (auto* painter = reinterpret_cast<Painter*>(wParam)) {
            lf_paintStatus(*painter);
        }
        return 0;
    case Msg::Close:
        closeRequested();
        return 0;
    case Msg::Command:
        return lf_HandleWMCOMMAND(window, wParam) ? 0 : ui().defWindowProc(window, msg, wParam, lParam);
    case Msg::CtlColorEdit:
    case Msg::CtlColorStatic:
        answerColours(wParam);
        return 0;
    case startRunMessage:
        startRun();
        return 0;
    case saveAndQuitMessage:
        saveWindowPositionAndQuit(window);
        return 0;
    default:
        return ui().defWindowProc(window, msg, wParam, lParam);
    }
}

} // namespace zeph
