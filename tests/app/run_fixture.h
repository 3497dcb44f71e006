#pragma once
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "sim/simconnect/client.h"
#include "support/recording_shell_open.h"
#include "support/scoped_env.h"
#include "support/temp_dir.h"
#include "support/window_fixture.h"

namespace zeph::test {

// A run's surroundings: a program folder (the current folder) with "docs", the sample input/dbase.enc and
// Log.txt open, the AppData folders, the registry file and the runtime folder in temp folders, the
// parameters at their defaults, the status and control hooks installed, the headless window layer with the
// program's main window (made on the test thread; start() moves the message loop to a thread of its own),
// and short SimConnect close waits, so the simulator link's failed attempts to connect end quickly.
class RunFixture : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    const std::filesystem::path& dir() const { return programDir_->path(); }
    const std::filesystem::path& temp() const { return temp_.path(); }
    std::filesystem::path appDataRoot() const { return temp_ / "appdata"; }
    std::filesystem::path registryFile() const { return temp_ / "registry.reg"; }
    std::filesystem::path parametersXml() const;

    HeadlessUi& headless() { return window_->headless(); }
    HeadlessWindowLoop& loop() { return *window_; }

    // Log.txt's lines without the banner.
    std::vector<std::string> readLog() const;
    bool logHas(const std::string& line) const;

    // A registry file with these Prepar3D keys; an empty setup path writes the key without "SetupPath".
    void writeRegistry(bool v5, const std::string& v5Path, bool v6, const std::string& v6Path) const;

    // The value stored in parameters.xml for key; empty when absent.
    std::string storedParameter(const std::string& key) const;

private:
    TempDir temp_;
    std::unique_ptr<ScopedEnv> appData_;
    std::unique_ptr<ScopedEnv> registry_;
    std::unique_ptr<ScopedEnv> runtime_;
    std::unique_ptr<ScopedEnv> home_;
    std::unique_ptr<ScopedEnv> config_;
    std::unique_ptr<HeadlessWindowLoop> window_;
    std::unique_ptr<ProgramDir> programDir_;
    std::unique_ptr<RecordingShellOpen> shellOpen_; // the scan opens no real folders
    SimConnectTimings previousTimings_;
};

} // namespace zeph::test
