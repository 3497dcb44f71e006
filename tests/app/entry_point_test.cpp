#include "app/entry_point.h"

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <functional>
#include <future>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>
#include <pugixml.hpp>

#include "app/window/ui_headless.h"
#include "core/program.h"
#include "core/run_flags.h"
#include "settings/data_tree.h"
#include "settings/parameter_table.h"
#include "settings/xml_parameters.h"
#include "state/exit_reason.h"
#include "state/main_window_state.h"
#include "support/eventually.h"
#include "support/log_fixture.h"
#include "support/parameters_files.h"
#include "support/recording_shell_open.h"
#include "support/reg_file_builder.h"
#include "support/run_parameters.h"
#include "support/scoped_env.h"
#include "support/sealed_files.h"
#include "support/slow_factor.h"
#include "support/temp_dir.h"
#include "support/window_fixture.h"

namespace zeph {
namespace {

namespace fs = std::filesystem;

const std::string title(programId);
constexpr ControlId alwaysOnTopId = 32771;
constexpr ControlId maxFitId = 32854; // the last control the run fills

using test::eventually;

std::string statusText() {
    const std::lock_guard lock(mainWindowState.statusMutex);
    return mainWindowState.statusText;
}

// A program folder with Log.txt open, every location of the desktop in temp folders, the headless window
// layer, and the settings, the shell's flags and the window state at their start values.
class Shell : public test::LogFixture {
public:
    // The program folder and a registry with Prepar3D v5, so that a run gets as far as the wait for the
    // simulator.
    void SetUp() override {
        LogFixture::SetUp();
        fs::create_directories(dir() / "docs");
        test::writeSampleDbase(dir());
        test::writeSampleAirports(dir());
        fs::create_directories(simulator_ / "Scenery");
        test::RegFileBuilder()
            .header()
            .key("HKEY_LOCAL_MACHINE\\SOFTWARE\\Lockheed Martin\\Prepar3D v5")
            .stringValue("SetupPath", simulator_.path().string())
            .writeUtf16(registryFile_);
        freshStart();
    }

    void TearDown() override {
        resetFlags();
        test::resetParametersForTests(appDataRoot_.path());
        LogFixture::TearDown();
    }

    // Also between the cases of one test: no class, no window, nothing recorded, an empty AppData folder.
    void freshStart() {
        headless().reset();
        resetMainWindowStateForTests();
        fs::remove_all(appDataRoot_ / "Corvane_P3D");
        test::resetParametersForTests(appDataRoot_.path());
        if (seedsRun_) {
            test::seedRunParameters(appDataRoot_.path(), appDataRoot_.path());
        }
        resetFlags();
    }

    static void resetFlags() {
        runStopping.store(false);
        userStopped.store(false);
        exitReason.store(ExitReason::NOT_YET_SET);
        productionMode.store(false);
        exitCode.store(0);
        lastMessageWindow.store(nullptr);
    }

    // The class lf_runApplication registers, for tests that call initInstance themselves.
    void registerMainWindowClass() { ASSERT_TRUE(headless().registerClass(title, lf_WndProc, appIconId)); }

    Rect mainWindowRect() { return headless().windowRect(mainWindowState.mainWindow.load()); }

    static std::optional<std::string> storedText(std::string_view key) {
        pugi::xml_document document;
        if (!document.load_file(parametersFile().c_str())) {
            return std::nullopt;
        }
        return gf_getStringParameter(document, key);
    }

    std::size_t logSize() const { return readLog().size(); }
    std::vector<std::string> logSince(std::size_t lines) const {
        const auto all = readLog();
        return {all.begin() + static_cast<std::ptrdiff_t>(std::min(lines, all.size())), all.end()};
    }

    HeadlessUi& headless() { return loop_.headless(); }

    test::TempDir home_;
    test::TempDir runtime_;
    test::TempDir appDataRoot_;
    test::RecordingShellOpen shellOpen_; // the livery scan opens no real folders
    test::ScopedEnv homeEnv_{"HOME", home_.path().string()};
    test::ScopedEnv configEnv_{"XDG_CONFIG_HOME", home_.path().string()};
    test::ScopedEnv runtimeEnv_{"XDG_RUNTIME_DIR", runtime_.path().string()};
    test::ScopedEnv appDataEnv_{"CORVANE_APPDATA_DIR", appDataRoot_.path().string()};
    test::TempDir simulator_;
    fs::path registryFile_ = home_ / "registry.reg";
    test::ScopedEnv registryEnv_{"CORVANE_REGISTRY_FILE", registryFile_.string()};
    test::HeadlessWindowLoop loop_;

protected:
    // Set by fixtures whose runs get to the livery scan: each fresh start seeds parameters.xml for it.
    bool seedsRun_ = false;
};

using InitInstance = Shell;
using StartFailures = Shell;
using CloseButton = Shell;

// Whole runs: parameters.xml seeded with a one-livery tree, so the livery scan succeeds and opens no folders.
class RunningProgramThreads : public Shell {
public:
    RunningProgramThreads() { seedsRun_ = true; }
};

// lf_runApplication on a thread of its own, which becomes the GUI thread; the test thread drives it.
class RunningProgram {
public:
    explicit RunningProgram(std::vector<std::string> arguments = {}) : arguments_(std::move(arguments)) {
        arguments_.insert(arguments_.begin(), "corvane");
        std::packaged_task<int()> run([this] {
            std::vector<const char*> argv;
            for (const std::string& argument : arguments_) {
                argv.push_back(argument.c_str());
            }
            return lf_runApplication(static_cast<int>(argv.size()), argv.data());
        });
        result_ = run.get_future();
        thread_ = std::jthread(std::move(run));
    }

    // Closes the window as the close button does, however the test ended.
    ~RunningProgram() {
        if (!ended_) {
            close();
            if (!waitForEnd()) {
                headlessUi().postQuit(0);
            }
        }
    }

    RunningProgram(const RunningProgram&) = delete;
    RunningProgram& operator=(const RunningProgram&) = delete;

    // True once the loop runs and the run has filled the controls.
    static bool waitForRun() {
        return eventually([] {
            const auto maxFit = headlessUi().control(maxFitId);
            return headlessUi().loopIsRunning() && maxFit && !maxFit->enabled;
        });
    }

    // What a signal does: Close posted to the main window.
    static void close() { ui().postMessage(mainWindowState.mainWindow.load(), Msg::Close, 0, 0); }

    std::optional<int> waitForEnd() {
        if (result_.wait_for(test::kLivenessBound * 5) != std::future_status::ready) {
            return std::nullopt;
        }
        thread_.join();
        ended_ = true;
        return result_.get();
    }

private:
    std::vector<std::string> arguments_;
    std::future<int> result_;
    std::jthread thread_;
    bool ended_ = false;
};

TEST(ProductionSwitch, TheLastSwitchWinsAndTheProgramPathIsNeverRead) {
    struct Case {
        const char* name;
        std::vector<const char*> argv; // argv[0] first
        bool value;
        bool given;
    };
    const std::vector<Case> cases = {
        {"no arguments", {"corvane"}, false, false},
        {"on, then off", {"corvane", "/production", "--no-production"}, false, true},
        {"off, then on, mixed case", {"corvane", "--NO-PRODUCTION", "/Production"}, true, true},
        {"unknown switch", {"corvane", "--foo"}, false, false},
        {"program path only", {"--production"}, false, false},
        {"unknown switches around", {"corvane", "-production", "--production", "production"}, true, true},
        {"slash off wins", {"corvane", "--production", "/No-Production"}, false, true},
    };
    for (const Case& c : cases) {
        const ProductionSwitch result =
            lf_readProductionSwitch(static_cast<int>(c.argv.size()), c.argv.data());
        EXPECT_EQ(result.value, c.value) << c.name;
        EXPECT_EQ(result.given, c.given) << c.name;
    }
}

TEST_F(InitInstance, WithoutParametersFileOpensAtTheDefaultsAndWritesNothing) {
    registerMainWindowClass();
    ASSERT_TRUE(initInstance(title));
    EXPECT_EQ(mainWindowRect(), Rect::fromSize(400, 20, 880, 476));
    EXPECT_EQ(std::distance(fs::directory_iterator(appDataDir()), {}), 0) << "the AppData folder stays empty";
    EXPECT_TRUE(readLog().empty());
}

TEST_F(InitInstance, DamagedParametersFileIsKeptAsGenerationZeroAndRemoved) {
    struct Case {
        const char* name;
        void (*write)(const fs::path&);
    };
    for (const Case& c :
         {Case{"not well formed", test::writeNotWellFormedFile}, Case{"empty", test::writeEmptyFile}}) {
        SCOPED_TRACE(c.name);
        freshStart();
        const std::size_t before = logSize();
        c.write(parametersFile());
        const std::string old = test::readFileBytes(parametersFile());
        registerMainWindowClass();
        ASSERT_TRUE(initInstance(title));
        EXPECT_EQ(logSince(before),
                  (std::vector<std::string>{"==> " + parametersFileUtf8() + " failed to load, syntax error?",
                                            " --> saved as 0.xml,  file removed", ""}));
        EXPECT_EQ(test::readFileBytes(appDataDir() / "parameters0.xml"), old);
        EXPECT_FALSE(fs::exists(parametersFile()));
        EXPECT_EQ(mainWindowRect(), Rect::fromSize(400, 20, 880, 476));
        fs::remove(appDataDir() / "parameters0.xml");
    }
}

TEST_F(InitInstance, DamagedParametersFileThatCannotBeKeptAsideStays) {
    freshStart();
    test::writeNotWellFormedFile(parametersFile());
    const std::string old = test::readFileBytes(parametersFile());
    fs::create_directory(appDataDir() / "parameters0.xml");
    const std::size_t before = logSize();
    registerMainWindowClass();
    ASSERT_TRUE(initInstance(title));
    EXPECT_EQ(test::readFileBytes(parametersFile()), old) << "the user's only copy is never removed";
    const auto lines = logSince(before);
    EXPECT_NE(std::find(lines.begin(), lines.end(), " --> could not be saved as 0.xml, file kept"),
              lines.end());
    EXPECT_EQ(mainWindowRect(), Rect::fromSize(400, 20, 880, 476));
    fs::remove(appDataDir() / "parameters0.xml");
}

TEST_F(InitInstance, StoredPositionAtAnEndOfItsRangeGivesWayToTheDefault) {
    struct Case {
        const char* storedX;
        int openedX;
        const char* savedX; // as the file holds it afterwards
    };
    const std::vector<Case> cases = {
        {"30000", 400, "400"}, {"40000", 400, "400"}, {"-30000", 400, "400"},
        {"abc", 0, "abc"},     {"123", 123, "123"},   {"-29999", -29999, "-29999"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.storedX);
        freshStart();
        test::ParametersFileBuilder()
            .parameter("MAIN_WINDOW_X", c.storedX)
            .parameter("MAIN_WINDOW_Y", "77")
            .write(parametersFile());
        registerMainWindowClass();
        ASSERT_TRUE(initInstance(title));
        EXPECT_EQ(mainWindowRect(), Rect::fromSize(c.openedX, 77, 880, 476));
        EXPECT_EQ(MAIN_WINDOW_X.get(), c.openedX);
        EXPECT_EQ(storedText("MAIN_WINDOW_X"), c.savedX);
        EXPECT_EQ(storedText("MAIN_WINDOW_Y"), "77");
    }
}

TEST_F(CloseButton, AsksTheRunToEndOnceAndKeepsAnEarlierReason) {
    struct Case {
        ExitReason earlier;
        ExitReason expected;
    };
    for (const Case& c : {Case{ExitReason::NOT_YET_SET, ExitReason::USER_CLOSED_SIM},
                          Case{ExitReason::READER_ERROR, ExitReason::READER_ERROR}}) {
        SCOPED_TRACE(static_cast<int>(c.earlier));
        freshStart();
        registerMainWindowClass();
        ASSERT_TRUE(initInstance(title));
        exitReason.store(c.earlier);
        const std::size_t before = logSize();
        for (int click = 1; click <= 2; ++click) {
            SCOPED_TRACE(click);
            headless().requestClose();
            EXPECT_EQ(statusText(), "Close window button clicked, closing Corvane_P3D ...");
            EXPECT_TRUE(userStopped.load());
            EXPECT_TRUE(runStopping.load());
            EXPECT_EQ(exitReason.load(), c.expected);
            EXPECT_EQ(logSince(before), std::vector<std::string>{}) << "the close writes no log line";
            EXPECT_EQ(headless().dispatchedCount(Msg::Destroy), 0u) << "the window stays";
        }
        headless().pump();
        EXPECT_EQ(headless().dispatchedCount(saveAndQuitMessage), 0u) << "only the run ends the program";
    }
}

TEST_F(StartFailures, EachFailureIsLoggedAndEndsWithZeroWithoutAWindow) {
    struct Case {
        const char* name;
        std::function<void(Shell&)> arrange;
        std::vector<std::string> expectedLog; // each line starts with its expected text
    };
    const std::vector<Case> cases = {
        {"no title",
         [](Shell& shell) { shell.headless().removeString(appTitleStringId); },
         {"Failed to load application title"}},
        {"class taken",
         [](Shell& shell) { shell.headless().registerClass(title, lf_WndProc, appIconId); },
         {"Failed to register window class"}},
        {"AppData below a file",
         [](Shell& shell) {
             test::writeFileBytes(shell.home_ / "plain", "x");
             setAppDataDirForTests(shell.home_ / "plain" / "sub" / "Corvane_P3D");
         },
         {"Failed to create directory: "}},
        {"window refused",
         [](Shell& shell) { shell.headless().failWindowCreation(); },
         {"==> initInstance failed"}},
        {"parameters.xml a symlink loop",
         [](Shell&) { fs::create_symlink("parameters.xml", parametersFile()); },
         {"filesystem error: ", "==> initInstance failed"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        freshStart();
        c.arrange(*this);
        const std::size_t before = logSize();
        const char* argv[] = {"corvane", "--production"};
        EXPECT_EQ(lf_runApplication(2, argv), 0);
        const auto lines = logSince(before);
        ASSERT_EQ(lines.size(), c.expectedLog.size()) << ::testing::PrintToString(lines);
        for (std::size_t k = 0; k < lines.size(); ++k) {
            EXPECT_TRUE(lines[k].starts_with(c.expectedLog[k])) << lines[k];
        }
        EXPECT_EQ(mainWindowState.mainWindow.load(), nullptr);
        EXPECT_EQ(headless().dispatchedCount(Msg::Create), 0u);
        EXPECT_FALSE(productionMode.load()) << "production mode needs the window";
        EXPECT_FALSE(startThread.joinable());
        std::error_code ignored;
        fs::remove(parametersFile(), ignored); // the symlink
    }
}

TEST_F(RunningProgramThreads, CloseEndsTheRunWhichSavesThePositionAndEndsTheLoop) {
    struct Case {
        Rect moved;
        int savedX;
        int savedY;
    };
    const std::vector<Case> cases = {
        {Rect::fromSize(123, 45, 880, 476), 123, 45},
        {Rect::fromSize(-40000, 45, 880, 476), 400, 45},
        {Rect::fromSize(60, 40000, 880, 476), 60, 20},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.moved.left);
        freshStart();
        RunningProgram program;
        ASSERT_TRUE(RunningProgram::waitForRun());
        headless().setWindowRect(c.moved);
        RunningProgram::close();
        EXPECT_EQ(program.waitForEnd(), 0);
        EXPECT_FALSE(startThread.joinable()) << "the run was joined";
        EXPECT_EQ(exitReason.load(), ExitReason::USER_CLOSED_SIM);
        EXPECT_EQ(storedText("MAIN_WINDOW_X"), std::to_string(c.savedX));
        EXPECT_EQ(storedText("MAIN_WINDOW_Y"), std::to_string(c.savedY));
        const auto lines = readLog();
        ASSERT_FALSE(lines.empty());
        EXPECT_EQ(lines.back().size(), 24u) << "the time of the end: " << lines.back();
    }
}

TEST_F(RunningProgramThreads, ProductionModeIsSetOnceTheWindowIsOpen) {
    struct Case {
        std::vector<std::string> arguments;
        bool expected;
    };
    for (const Case& c : {Case{{"--production"}, true}, Case{{"/production", "--no-production"}, false},
                          Case{{"--foo"}, false}}) {
        SCOPED_TRACE(::testing::PrintToString(c.arguments));
        freshStart();
        RunningProgram program(c.arguments);
        ASSERT_TRUE(RunningProgram::waitForRun());
        EXPECT_EQ(productionMode.load(), c.expected);
    }
}

TEST_F(RunningProgramThreads, ACheckBoxClickReachesTheCommandHandlerAndFlipsTheMark) {
    RunningProgram program;
    ASSERT_TRUE(RunningProgram::waitForRun());
    const bool markBefore = headless().control(alwaysOnTopId)->checked;
    headless().clearRecords();
    ASSERT_TRUE(headless().click(alwaysOnTopId));
    headless().pump();
    const auto messages = headless().dispatched();
    const auto command = std::find_if(messages.begin(), messages.end(),
                                      [](const DispatchedMessage& m) { return m.msg == Msg::Command; });
    ASSERT_NE(command, messages.end());
    EXPECT_EQ(loWord(command->wParam), alwaysOnTopId);
    EXPECT_EQ(hiWord(command->wParam), Notify::Clicked);
    const auto invalidated = headless().invalidations();
    EXPECT_NE(std::find(invalidated.begin(), invalidated.end(), settingsArea), invalidated.end());
    EXPECT_EQ(headless().control(alwaysOnTopId)->checked, !markBefore) << "the box's handler flips the mark";
}

// The loop can end without the run (something else destroyed the window): the run is asked to stop and
// joined before lf_runApplication returns.
TEST_F(RunningProgramThreads, ALoopEndedByOthersStopsAndJoinsTheRun) {
    RunningProgram program;
    ASSERT_TRUE(RunningProgram::waitForRun());
    headless().postQuit(0);
    EXPECT_EQ(program.waitForEnd(), 0);
    EXPECT_FALSE(startThread.joinable());
    EXPECT_TRUE(runStopping.load());
    EXPECT_TRUE(userStopped.load());
}

} // namespace
} // namespace zeph
