#include "update/program_update.h"

#include <atomic>
#include <chrono>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include <fmt/format.h>
#include <gtest/gtest.h>

#include "core/run_flags.h"
#include "download_fixture.h"
#include "platform/elevation.h"
#include "platform/write_probe.h"
#include "state/exit_reason.h"
#include "support/parameters_files.h"
#include "support/recording_shell_open.h"
#include "support/recording_window_port.h"
#include "support/scoped_env.h"
#include "support/zip_builder.h"
#include "update/version_check.h"

namespace zeph {
namespace {

namespace fs = std::filesystem;

const std::string archivePath = "release/setup_Corvane_P3D_d_v11.10.6.zip";
const std::string adminReadme = "A new version is available. Run the installer as Administrator\n";
const std::string normalReadme = "A new version is available.\nThe installer can be executed normally (no "
                                 "Administrator rights required).\n";

// Bytes that do not repeat, so that the archive holds real compressed data.
std::string installerBytes(std::size_t size, unsigned seed) {
    std::string bytes(size, '\0');
    for (char& byte : bytes) {
        seed = seed * 1103515245U + 12345U;
        byte = static_cast<char>(seed >> 16);
    }
    return bytes;
}

class ProgramUpdate : public test::DownloadFixture {
protected:
    void SetUp() override {
        DownloadFixture::SetUp();
        // Each case is a run of its own: an update an earlier case prepared has ended that run.
        resetExitReasonForRestart();
        test::resetParametersForTests(appData_.path());
        fs::create_directories(dir() / "input");
        setElevationForTests(false);
        setWriteProbeForTests([](const fs::path&, const std::string&) { return true; });
        server.ok(
            "versions.json",
            R"({"p3d": {"major": 11, "minor": 10, "patch": 6}, "airports": {"major": 1, "minor": 0, "patch": 0}})");
        server.ok("docs/ReleaseNotes.pdf", "%PDF notes");
    }
    void TearDown() override {
        setElevationForTests(std::nullopt);
        setWriteProbeForTests({});
        DownloadFixture::TearDown();
    }
    std::string zipOf(const std::vector<std::pair<std::string, std::string>>& entries) {
        const fs::path file = archives_ / fmt::format("a{}.zip", archiveCount_++);
        test::writeZip(file, entries);
        return test::readFileBytes(file);
    }
    bool preparedInstaller() const { return fs::exists(dir() / "new_version" / "install_new_version.exe"); }

    test::TempDir appData_;
    test::TempDir archives_;
    int archiveCount_ = 0;
    test::RecordingWindowPort port_;
};

TEST_F(ProgramUpdate, ANewerProgramIsPreparedInNewVersionAndEndsTheRun) {
    const std::string installer = installerBytes(3 * 1024 * 1024, 7);
    server.ok(archivePath, zipOf({{"setup_Corvane_P3D_d_v11.10.6.exe", installer}}));
    const test::RecordingShellOpen shell;
    EXPECT_FALSE(gf_checkVersions());
    EXPECT_EQ(test::readFileBytes(dir() / "new_version" / "install_new_version.exe"), installer);
    EXPECT_EQ(test::readFileBytes(dir() / "new_version" / "ReleaseNotes.pdf"), "%PDF notes");
    EXPECT_EQ(test::readFileBytes(dir() / "new_version" / "README.txt"), normalReadme);
    EXPECT_FALSE(fs::exists(dir() / "setup_Corvane_P3D_d_v11.10.6.zip"));
    EXPECT_FALSE(fs::exists(dir() / "install_new_version.exe"));
    EXPECT_EQ(shell.paths(), std::vector<fs::path>{dir() / "new_version"});
    EXPECT_EQ(exitReason.load(), ExitReason::NEW_VERSION);
    EXPECT_EQ(currentRestartDelay(), 0);
    EXPECT_EQ(server.paths(),
              (std::vector<std::string>{"/downloads/versions.json", "/downloads/" + archivePath,
                                        "/downloads/docs/ReleaseNotes.pdf"}));
    EXPECT_FALSE(tempFileLeft());
}

TEST_F(ProgramUpdate, ReleaseNotesAndFileManagerFailuresStillEndTheRun) {
    struct Case {
        const char* name;
        bool stop; // the window is closed once the installer is prepared, the notes held back
        std::string line;
    };
    const std::string notFound = "==> could not download ReleaseNotes.pdf to new_version";
    const Case cases[] = {
        {"not found", false, notFound},
        {"refused by the stop", true,
         "Download error: 'the run is stopping' for " + server.urlOf("docs/ReleaseNotes.pdf")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        resetExitReasonForRestart();
        fs::remove_all(dir() / "new_version");
        const std::size_t before = readLog().size();
        server.status("docs/ReleaseNotes.pdf", 404);
        if (c.stop) {
            server.stall("docs/ReleaseNotes.pdf", true, 60000);
        }
        server.ok(archivePath, zipOf({{"a.exe", "first"}, {"b.exe", "second"}}));
        const test::RecordingShellOpen shell(false);
        std::jthread closer([&](std::stop_token done) {
            while (c.stop && !done.stop_requested() && !preparedInstaller()) {
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            }
            userStopped.store(c.stop);
        });
        EXPECT_FALSE(gf_checkVersions());
        closer.request_stop();
        closer.join();
        userStopped.store(false);
        const auto lines = readLog();
        const auto has = [&](const std::string& text) {
            return std::find(lines.begin() + static_cast<std::ptrdiff_t>(before), lines.end(), text) !=
                   lines.end();
        };
        EXPECT_TRUE(has(c.line)) << c.line;
        EXPECT_EQ(has(notFound), !c.stop) << "a download the stop refused is not missing";
        EXPECT_EQ(test::readFileBytes(dir() / "new_version" / "install_new_version.exe"), "second")
            << "the last entry stays";
        EXPECT_EQ(test::readFileBytes(dir() / "new_version" / "README.txt"), normalReadme);
        EXPECT_EQ(shell.paths().size(), 1U);
        EXPECT_EQ(
            has("Opening file explorer at the new version failed? Try manually via the Maravel website."),
            !c.stop);
        EXPECT_EQ(exitReason.load(), ExitReason::NEW_VERSION);
    }
    EXPECT_EQ(port_.calls(),
              std::vector<std::string>(2, "messageBox Could not open File Explorer at new version|Corvane"));
}

TEST_F(ProgramUpdate, ABrokenOrMissingInstallerKeepsWhatWasPreparedAndTheCheckGoesOn) {
    struct Case {
        const char* name;
        std::function<void()> arrange;
        std::string line;               // a line the failure logs
        bool stopWhenUnpacking = false; // the window is closed once the first entry is being unpacked
    };
    std::string flipped = zipOf({{"setup.exe", installerBytes(200000, 3)}});
    flipped[30 + 9 + 5000] = static_cast<char>(~flipped[30 + 9 + 5000]); // in the entry's data
    const std::string truncatedZip = zipOf({{"setup.exe", installerBytes(200000, 4)}}).substr(0, 1000);
    const std::vector<Case> cases = {
        {"404", [&] { server.status(archivePath, 404); },
         "Downloading program installer file version 11.10.6 failed"},
        {"404, stale installer in the program folder",
         [&] { test::writeFileBytes(dir() / "install_new_version.exe", "stale installer"); },
         "==> install_new_version.exe does not exists?"},
        {"flipped byte", [&] { server.ok(archivePath, flipped); }, "==> Unzipping error code: "},
        {"truncated zip", [&] { server.ok(archivePath, truncatedZip); },
         "Download error: 'content check failed' for " + server.urlOf(archivePath)},
        {"empty installer",
         [&] {
             server.ok(archivePath, zipOf({{"setup.exe", ""}}));
         },
         "==> Unzipping error code: 21"},
        {"installer past the cap",
         [&] {
             server.ok(archivePath, zipOf({{"setup.exe", std::string(kTestCapBytes + 1, '\0')}}));
         },
         "==> Unzipping error code: 21"},
        {"stopped while unpacking",
         [&] {
             const std::vector<std::pair<std::string, std::string>> entries(
                 24, {"setup.exe", std::string(kTestCapBytes / 2, '\0')});
             server.ok(archivePath, zipOf(entries));
         },
         "==> Unzipping error code: 32", true},
    };
    // What an earlier start prepared.
    fs::create_directories(dir() / "new_version");
    test::writeFileBytes(dir() / "new_version" / "install_new_version.exe", "prepared before");
    test::writeFileBytes(dir() / "new_version" / "README.txt", normalReadme);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::size_t before = readLog().size();
        const std::size_t requestsBefore = server.paths().size();
        c.arrange();
        const test::RecordingShellOpen shell;
        std::atomic<bool> checked{false};
        std::chrono::steady_clock::time_point stoppedAt;
        std::thread closer([&] {
            while (c.stopWhenUnpacking && !checked.load() && !fs::exists(dir() / "install_new_version.exe")) {
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            }
            stoppedAt = std::chrono::steady_clock::now();
            userStopped.store(c.stopWhenUnpacking);
        });
        EXPECT_TRUE(gf_checkVersions());
        checked.store(true);
        closer.join();
        if (c.stopWhenUnpacking) {
            EXPECT_LT(std::chrono::steady_clock::now() - stoppedAt, test::kLivenessBound);
            userStopped.store(false);
        }
        const auto lines = readLog();
        const std::vector<std::string> fresh(lines.begin() + static_cast<std::ptrdiff_t>(before),
                                             lines.end());
        const auto has = [&](const std::string& text) {
            return std::any_of(fresh.begin(), fresh.end(), [&](auto& l) { return l.starts_with(text); });
        };
        EXPECT_TRUE(has(c.line)) << c.line;
        EXPECT_EQ(has("==> install_new_version.exe does not exists?"), !c.stopWhenUnpacking)
            << "a stopped unpacking leaves no installer, which is not missing";
        EXPECT_EQ(has("The downloading/unzipping of the new version failed? Try manually via the Maravel "
                      "website."),
                  !c.stopWhenUnpacking)
            << "a status text is not logged while the run stops";
        EXPECT_EQ(test::readFileBytes(dir() / "new_version" / "install_new_version.exe"), "prepared before");
        EXPECT_EQ(std::distance(fs::directory_iterator(dir() / "new_version"), fs::directory_iterator()), 2);
        EXPECT_FALSE(fs::exists(dir() / "install_new_version.exe"));
        EXPECT_TRUE(shell.paths().empty());
        const auto paths = server.paths();
        EXPECT_EQ(std::find(paths.begin() + static_cast<std::ptrdiff_t>(requestsBefore), paths.end(),
                            "/downloads/11/airports.enc") != paths.end(),
                  !c.stopWhenUnpacking)
            << "the data sections still run, unless the run is stopping";
        EXPECT_EQ(exitReason.load(), ExitReason::NOT_YET_SET);
    }
}

TEST_F(ProgramUpdate, TheReadmeSaysWhenTheInstallerNeedsAdministrator) {
    struct Case {
        const char* name;
        std::string programFiles;
        fs::path program;
        bool writable;
        bool elevated;
        std::string readme;
    };
    const fs::path parent = dir().parent_path();
    const std::vector<Case> cases = {
        {"under, locked, not elevated", parent.string(), dir(), false, false, adminReadme},
        {"under, locked, elevated", parent.string(), dir(), false, true, normalReadme},
        {"under, writable", parent.string() + "/", dir(), true, false, normalReadme},
        {"outside, locked", "/nowhere", dir(), false, false, normalReadme},
        {"/optical is not under /opt", "/opt", "/optical/x", false, false, normalReadme},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const test::ScopedEnv programFiles("CORVANE_PROGRAM_FILES_DIR", c.programFiles);
        const test::ScopedEnv programFilesX86("CORVANE_PROGRAM_FILES_X86_DIR", "/nowhere86");
        setWriteProbeForTests([&](const fs::path& folder, const std::string& name) {
            EXPECT_EQ(folder, c.program);
            EXPECT_EQ(name, ".write_test.tmp");
            return c.writable;
        });
        setElevationForTests(c.elevated);
        EXPECT_EQ(lf_installerNeedsAdmin(c.program) + "\n", c.readme);
    }
}

} // namespace
} // namespace zeph
