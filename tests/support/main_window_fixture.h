#pragma once
#include <optional>
#include <string>
#include <string_view>

#include "app/window/ui_headless.h"
#include "support/log_fixture.h"
#include "support/temp_dir.h"
#include "support/window_fixture.h"

namespace zeph::test {

// The main window as the program opens it, in a program folder with Log.txt open, the parameters at their
// defaults, the settings' control hook and the window port pointing at the window, as the program's start
// installs them.
class MainWindowControls : public LogFixture {
public:
    void SetUp() override;
    void TearDown() override;

    // Registers the window class and opens the window headless, as the program's start does.
    void openWindow();
    // parameters.xml with every stored default, the window opened and its controls set from the parameters,
    // as at the start of a run: no exit reason or awaited RealTraffic left from before.
    void openWindowForRun();
    HeadlessControl control(ControlId id);
    static std::string selected(const HeadlessControl& combo);
    bool invalidatedSettings();
    // The status line's normal text.
    static std::string status();
    // The value stored for key in parameters.xml; nothing when the file or the key is missing.
    static std::optional<std::string> stored(std::string_view key);
    // Enables controls the way a running flight leaves them, so the headless layer lets them be used.
    void enableForUse(std::initializer_list<const ParameterControl*> controls);
    bool enabled(const ParameterControl& c) { return control(c.controlId).enabled; }
    WindowHandle handleOf(ControlId id);
    // Selects the drop-down's entry with this text, as the user does; false when it has none.
    bool selectEntry(ControlId id, const std::string& text);
    HeadlessUi& headless() { return loop_.headless(); }

    TempDir appDataRoot_;
    HeadlessWindowLoop loop_;
};

// The window opened for a run before each test.
class MainWindowForRun : public MainWindowControls {
public:
    void SetUp() override {
        MainWindowControls::SetUp();
        openWindowForRun();
    }
};

} // namespace zeph::test
