#include "run_fixture.h"

#include <algorithm>
#include <mutex>

#include <pugixml.hpp>

#include "aircraft/matching_tables.h"
#include "airports/airport_database.h"
#include "app/entry_point.h"
#include "app/main_loop.h"
#include "app/window/controls.h"
#include "core/log.h"
#include "core/status_sink.h"
#include "settings/control_sink.h"
#include "settings/data_tree.h"
#include "state/exit_reason.h"
#include "state/main_window_state.h"
#include "state/run_state.h"
#include "state/status_line.h"
#include "support/log_fixture.h"
#include "support/parameters_files.h"
#include "support/reg_file_builder.h"
#include "support/run_parameters.h"
#include "support/sealed_files.h"
#include "traffic/traffic_tables.h"

namespace zeph::test {

namespace fs = std::filesystem;

void RunFixture::SetUp() {
    fs::create_directories(temp_ / "home");
    fs::create_directories(temp_ / "config");
    fs::create_directories(temp_ / "run");
    appData_ = std::make_unique<ScopedEnv>("CORVANE_APPDATA_DIR", (temp_ / "appdata").string());
    registry_ = std::make_unique<ScopedEnv>("CORVANE_REGISTRY_FILE", registryFile().string());
    runtime_ = std::make_unique<ScopedEnv>("XDG_RUNTIME_DIR", (temp_ / "run").string());
    home_ = std::make_unique<ScopedEnv>("HOME", (temp_ / "home").string());
    config_ = std::make_unique<ScopedEnv>("XDG_CONFIG_HOME", (temp_ / "config").string());
    previousTimings_ = simConnectTimings();
    SimConnectTimings timings = previousTimings_;
    timings.closeBefore = std::chrono::milliseconds(10);
    timings.closeAfter = std::chrono::milliseconds(25);
    timings.transportPoll = std::chrono::milliseconds(10);
    timings.transportPolls = 5;
    setSimConnectTimingsForTest(timings);
    programDir_ = std::make_unique<ProgramDir>();
    fs::create_directories(dir() / "docs");
    writeSampleDbase(dir());
    writeSampleAirports(dir());
    resetAirportDatabaseForTests();
    gf_openLog();
    resetParametersForTests(appDataRoot());
    seedRunParameters(appDataRoot(), temp_.path());
    shellOpen_ = std::make_unique<RecordingShellOpen>();
    // Each test starts as a process does: no passes or seconds counted, no exit asked for.
    tickCounter.store(0);
    secondsCounter.store(0);
    resetExitReasonForRestart();
    // Each test's first run builds the tables anew, as the first run of a process does.
    lf_emptyLiveryTables();
    liveryTablesBuilt = false;
    setStatusSink(&statusLineSink());
    setControlSink(&windowControlSink());
    window_ = std::make_unique<HeadlessWindowLoop>();
    const std::string title = ui().loadString(appTitleStringId);
    ASSERT_TRUE(ui().registerClass(title, lf_WndProc, appIconId));
    ASSERT_TRUE(initInstance(title));
}

void RunFixture::TearDown() {
    if (startThread.joinable()) {
        startThread.join();
    }
    stopSimClientThread();
    stopReaderThreads();
    window_.reset();
    setControlSink(nullptr);
    setStatusSink(nullptr);
    closeLogForTests();
    programDir_.reset();
    shellOpen_.reset();
    setSimConnectTimingsForTest(previousTimings_);
}

fs::path RunFixture::parametersXml() const { return appDataRoot() / "Corvane_P3D" / "parameters.xml"; }

std::vector<std::string> RunFixture::readLog() const { return readLogIn(dir()); }

bool RunFixture::logHas(const std::string& line) const {
    const auto lines = readLog();
    return std::find(lines.begin(), lines.end(), line) != lines.end();
}

void RunFixture::writeRegistry(bool v5, const std::string& v5Path, bool v6, const std::string& v6Path) const {
    RegFileBuilder builder;
    builder.header();
    if (v5) {
        builder.key("HKEY_LOCAL_MACHINE\\SOFTWARE\\Lockheed Martin\\Prepar3D v5");
        if (!v5Path.empty()) {
            builder.stringValue("SetupPath", v5Path);
        }
    }
    if (v6) {
        builder.key("HKEY_LOCAL_MACHINE\\SOFTWARE\\Lockheed Martin\\Prepar3D v6");
        if (!v6Path.empty()) {
            builder.stringValue("SetupPath", v6Path);
        }
    }
    builder.writeUtf16(registryFile());
}

std::string RunFixture::storedParameter(const std::string& key) const {
    pugi::xml_document document;
    if (!document.load_file(parametersXml().c_str())) {
        return {};
    }
    for (pugi::xml_node parameter : document.child("root").child("parameters").children("parameter")) {
        if (key == parameter.attribute("name").value()) {
            return parameter.attribute("value").value();
        }
    }
    return {};
}

} // namespace zeph::test
