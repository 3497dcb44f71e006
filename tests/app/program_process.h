#pragma once
#include <chrono>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include <sys/types.h>

#include "support/temp_dir.h"

namespace zeph::test {

// The places a started program sees: its program folder (the current folder) and every location of the
// desktop, each a temp folder of its own, so that parallel tests never share a lock or a settings file.
// The program folder holds "docs" and the sample input/dbase.enc, and the registry file
// (CORVANE_REGISTRY_FILE) holds Prepar3D v5 with its SetupPath at a temp folder that has an empty "Scenery",
// so a run gets as far as the wait for the simulator. AppData starts empty: a run that gets to the livery
// scan calls seedRun() first.
class ProgramPlaces {
public:
    ProgramPlaces();

    // parameters.xml as a user leaves it ready to run (seedRunParameters: the livery scan on a one-livery
    // tree, the scenery scan on an empty folder), so that the run's livery scan succeeds and opens no
    // folders.
    void seedRun() const;
    // Written by the run's livery scan: a seeded run got past its start.
    std::filesystem::path liveriesScannedFile() const {
        return programDir() / "output" / "LiveriesScanned.xml";
    }

    const std::filesystem::path& programDir() const { return programDir_.path(); }
    const std::filesystem::path& runtimeDir() const { return runtime_.path(); }
    // Where the program keeps parameters.xml.
    std::filesystem::path parametersFile() const { return appData_ / "Corvane_P3D" / "parameters.xml"; }

    std::filesystem::path registryFile() const { return home_ / "registry.reg"; }
    const std::filesystem::path& simulatorDir() const { return simulator_.path(); }

    // The environment the program runs with: CORVANE_UI=headless, HOME, XDG_CONFIG_HOME, XDG_RUNTIME_DIR,
    // CORVANE_APPDATA_DIR and CORVANE_REGISTRY_FILE pointing at the temp folders, everything else inherited.
    std::map<std::string, std::string> environment() const;
    // Another runtime folder, so that a second program does not meet the first one's lock.
    void useRuntimeDir(const std::filesystem::path& dir) { runtimeOverride_ = dir; }

private:
    TempDir programDir_;
    TempDir home_;
    TempDir runtime_;
    TempDir appData_;
    TempDir simulator_;
    std::optional<std::filesystem::path> runtimeOverride_;
};

// The built program started with posix_spawn; ended by a signal to its pid only. Its standard output and
// error go to files. A program still running at the end is killed and reaped.
class ProgramProcess {
public:
    ProgramProcess(const std::filesystem::path& program, const ProgramPlaces& places,
                   const std::vector<std::string>& arguments = {});
    ~ProgramProcess();
    ProgramProcess(const ProgramProcess&) = delete;
    ProgramProcess& operator=(const ProgramProcess&) = delete;

    pid_t pid() const { return pid_; }
    void signal(int signalNumber) const;
    // The exit status (128 + the signal when a signal ended it), or nothing while it still runs after
    // timeout.
    std::optional<int> waitForExit(std::chrono::milliseconds timeout);
    std::string errorOutput() const;

private:
    TempDir outputDir_;
    pid_t pid_ = -1;
    bool reaped_ = false;
};

// True when the line has the shape of a clock text: "Sun Dec 06 07:25:18 2026".
bool isTimeText(const std::string& line);

// Waits until the file exists; false after the liveness bound.
bool waitForFile(const std::filesystem::path& file);
// Waits until the process blocks the signal, by its /proc status; false after the liveness bound.
bool waitForBlockedSignal(pid_t pid, int signalNumber);

} // namespace zeph::test
