#include "support/main_window_fixture.h"

#include <algorithm>
#include <mutex>

#include <pugixml.hpp>

#include "app/entry_point.h"
#include "app/window/controls.h"
#include "core/program.h"
#include "core/run_flags.h"
#include "realtraffic/rt_server.h"
#include "settings/control_sink.h"
#include "settings/data_tree.h"
#include "settings/xml_parameters.h"
#include "state/exit_reason.h"
#include "state/main_window_state.h"
#include "state/window_port.h"
#include "support/parameters_files.h"

namespace zeph::test {

void MainWindowControls::SetUp() {
    LogFixture::SetUp();
    resetParametersForTests(appDataRoot_.path());
    runStopping.store(false);
    userStopped.store(false);
    lastMessageWindow.store(nullptr);
    simulatorKind.store(3);
    setControlSink(&windowControlSink());
    setWindowPort(&mainWindowPort());
}

void MainWindowControls::TearDown() {
    setControlSink(nullptr);
    resetParametersForTests(appDataRoot_.path());
    LogFixture::TearDown();
}

void MainWindowControls::openWindow() {
    ASSERT_TRUE(headless().registerClass(std::string(programId), lf_WndProc, appIconId));
    ASSERT_TRUE(initInstance(programId));
}

void MainWindowControls::openWindowForRun() {
    ParametersFileBuilder().storedDefaults("11.10.5").write(parametersFile());
    openWindow();
    lf_initControlsFromParameters();
    headless().pump();
    resetExitReasonForRestart();
    realTrafficAwaited.store(false);
}

HeadlessControl MainWindowControls::control(ControlId id) {
    const auto found = headless().control(id);
    EXPECT_TRUE(found.has_value()) << "no control " << id;
    return found.value_or(HeadlessControl{});
}

std::string MainWindowControls::selected(const HeadlessControl& combo) {
    return combo.selection >= 0 ? combo.items.at(static_cast<std::size_t>(combo.selection)) : "<none>";
}

bool MainWindowControls::invalidatedSettings() {
    const auto areas = headless().invalidations();
    return std::find(areas.begin(), areas.end(), settingsArea) != areas.end();
}

std::string MainWindowControls::status() {
    const std::lock_guard lock(mainWindowState.statusMutex);
    return mainWindowState.statusText;
}

std::optional<std::string> MainWindowControls::stored(std::string_view key) {
    pugi::xml_document document;
    return document.load_file(parametersFile().c_str()) ? gf_getStringParameter(document, key) : std::nullopt;
}

void MainWindowControls::enableForUse(std::initializer_list<const ParameterControl*> controls) {
    for (const ParameterControl* control : controls) {
        windowControlSink().enable(*control, true);
    }
    headless().pump();
}

WindowHandle MainWindowControls::handleOf(ControlId id) {
    return headless().controlById(mainWindowState.mainWindow.load(), id);
}

bool MainWindowControls::selectEntry(ControlId id, const std::string& text) {
    headless().pump();
    const auto items = control(id).items;
    const auto at = std::find(items.begin(), items.end(), text);
    return at != items.end() && headless().selectIndex(id, static_cast<int>(at - items.begin()));
}

} // namespace zeph::test
