#include "airports/addon_scan.h"

#include <algorithm>
#include <cctype>
#include <deque>
#include <future>
#include <stdexcept>
#include <vector>

#include <fmt/format.h>

#include "airports/addon_airport_files.h"
#include "airports/bgl_file.h"
#include "airports/offline_package.h"
#include "airports/scan_log.h"
#include "core/errors.h"
#include "core/files.h"
#include "core/folder_walk.h"
#include "core/log.h"
#include "core/program.h"
#include "core/run_flags.h"
#include "core/scan_tasks.h"
#include "core/strings.h"
#include "settings/control_sink.h"
#include "settings/data_tree.h"
#include "settings/parameter_table.h"
#include "state/main_window_state.h"
#include "state/run_state.h"
#include "state/shell_folders.h"
#include "state/status_line.h"

namespace zeph {

namespace fs = std::filesystem;

namespace {

std::chrono::milliseconds futureWait{10'000};
BglAirportSink sinkForTests;

using Pending = std::deque<std::future<void>>;

BglAirportSink productionSink() { return BglAirportSink{lf_linkAirport, lf_generateAirportFile}; }

// A worker given up at the run's end links and generates nothing: a later scan may be making its files.
BglAirportSink untilGivenUp(BglAirportSink sink) {
    return BglAirportSink{
        [link = std::move(sink.link)](ApfData& airport, std::uint32_t& helipads, const fs::path& file) {
            return !isScanTaskGivenUp() && link(airport, helipads, file);
        },
        [generate = std::move(sink.generate)](ApfData& airport, const std::uint32_t& helipads) {
            if (!isScanTaskGivenUp()) {
                generate(airport, helipads);
            }
        }};
}

std::string lowerCase(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

// Takes the oldest worker's result; a worker's exception comes back here.
void takeOldest(Pending& pending) {
    std::future<void> future = std::move(pending.front());
    pending.pop_front();
    if (waitForTaskResult(future, futureWait)) {
        future.get();
    }
}

bool isAirportCandidate(const fs::directory_entry& entry) {
    const fs::path& path = entry.path();
    const std::string text = path.string();
    return entry.is_regular_file() && lowerCase(path.extension().string()) == ".bgl" &&
           text.find("statics") == std::string::npos && text.find("_heliports") == std::string::npos &&
           lf_hasAirportSection(path);
}

void startWorker(const fs::path& folder, const fs::path& file, ScanTaskPool& pool, Pending& pending) {
    if (!gf_waitForTaskSlot()) {
        return;
    }
    const BglAirportSink sink = untilGivenUp(sinkForTests.link ? sinkForTests : productionSink());
    pending.push_back(pool.submit([file, sink] { lf_processBGLfile(file, sink); }));
    if (static_cast<int>(pending.size()) > std::max(1, maxScanTasks.load())) {
        const std::size_t count = pending.size();
        try {
            takeOldest(pending);
        } catch (const std::exception& e) {
            gf_addScanLogLine(fmt::format("{} airports search aborted, futs inner,\n{}\n{}\n{}", "===> ",
                                          e.what(), count, folder.string()));
        }
    }
}

void drain(const fs::path& folder, Pending& pending) {
    while (!pending.empty()) {
        try {
            takeOldest(pending);
        } catch (const std::exception& e) {
            gf_addScanLogLine(fmt::format("{} airports search in {} aborted, futs outer error: {}", "===> ",
                                          folder.string(), e.what()));
        }
    }
}

void skipFolder(const fs::path& folder, std::string_view why) {
    gf_setStatus(folder.string() + std::string(why), true);
}

} // namespace

void setAirportScanFutureWaitForTests(std::chrono::milliseconds wait) { futureWait = wait; }
void setAirportScanSinkForTests(BglAirportSink sink) { sinkForTests = std::move(sink); }

bool lf_isInSimFolder(const fs::path& path) {
    const std::string stock = lowerCase(stockAirportsPath.string());
    return !stock.empty() && lowerCase(path.string()).find(stock) != std::string::npos;
}

// Depth first in the file system's order, with one open listing per level, so each folder is opened once. A
// folder that cannot be listed, or an entry that cannot be read, gets its line and the walk goes on; it
// stops after kBglLoopCap such lines. Links to folders are not followed.
void lf_scanFolderForAirports(const fs::path& folder, ScanTaskPool& pool) {
    gf_addScanLogLine(fmt::format("Scanning for {} airports in {}", "addon ", folder.string()));
    int failures = 0;
    Pending pending;
    FolderWalk walk;
    walk.visit = [&](const fs::directory_entry& entry) {
        if (lf_isInSimFolder(entry.path())) {
            return false;
        }
        if (entry.is_directory() && !entry.is_symlink()) {
            return true;
        }
        if (isAirportCandidate(entry) && !runIsStopping()) {
            startWorker(folder, entry.path(), pool, pending);
        }
        return false;
    };
    walk.failed = [&](const fs::path&, const std::string& cause) {
        ++failures;
        gf_addScanLogLine(fmt::format("{} airports search in folder {} aborted, cause: {}", "===> ",
                                      folder.string(), cause));
    };
    walk.goOn = [&] { return failures < kBglLoopCap; };
    walkFolderTree(folder, walk);
    drain(folder, pending);
}

void lf_scanAirportFolders(const std::vector<fs::path>& folders) {
    // Joins every worker before the scan log is written, also one whose result was given up.
    ScanTaskPool pool;
    for (const fs::path& folder : folders) {
        std::error_code error;
        const fs::file_status status = fs::status(folder, error);
        if (folder.empty()) {
            continue;
        }
        if (!fs::exists(status)) {
            skipFolder(folder, " does not exist, skipped!");
        } else if (!fs::is_directory(status)) {
            skipFolder(folder, " is not a folder name, skipped!");
        } else if (!lf_isInSimFolder(folder)) {
            lf_scanFolderForAirports(folder, pool);
        }
    }
}

std::vector<fs::path> lf_readAfolderParameters() {
    std::vector<fs::path> folders;
    folders.reserve(10);
    const std::string stock = stockAirportsPath.string();
    for (const StringParameter& parameter : afolder) {
        const std::string value = parameter.get();
        if (value.empty()) {
            continue;
        }
        // An unknown install path is no stock folder: it would match every value.
        if (!stock.empty() && value.find(stock) != std::string::npos) {
            throw UserErrorException(
                42, fmt::format("parameter {} points to stock airports instead of add-on airports!",
                                parameter.key));
        }
        folders.emplace_back(value);
        gf_logText(fmt::format("From parameter {}: {}", parameter.key, value));
    }
    return folders;
}

AirportsScanResult lf_runAirportsScan(const std::vector<fs::path>& folders) {
    lf_logAndFlush(
        fmt::format("The scan will search {} folder{}", folders.size(), gf_plural(folders.size())));
    std::error_code error;
    fs::remove(airportsScanLogFile, error);
    if (error) {
        gf_logText("problems with removing previous files (maybe still open?): " + error.message());
    }
    offlineLearningCount = 0;
    scanChangedFiles = false;
    lf_takeGeneratedThirdpartyCodes();
    lf_reserveScanLog();
    lf_scanAirportFolders(folders);
    // The stop started no worker for the files left: the log and a package would be of a part of the scan.
    if (runIsStopping()) {
        gf_clearStatus();
        lf_clearScanLog();
        return AirportsScanResult::Interrupted;
    }
    lf_writeScanLog();
    gf_clearStatus();
    lf_clearScanLog();
    lf_prepareTbloZip(lf_takeGeneratedThirdpartyCodes());
    if (!scanChangedFiles.load()) {
        return AirportsScanResult::Unchanged;
    }
    gf_logText("Airports scan successful");
    return AirportsScanResult::Changed;
}

void gf_scanAddonAirports() {
    gf_setStatus("Scanning for addon airports ...", false);
    lf_logAndFlush("\n++++++++++++++++++++++++ airports scan manual starts +++++++++++++++++++++++++++++");
    std::error_code error;
    if (fs::exists(tbloName, error)) {
        gf_removeFilesFromDirectory(tbloName);
    } else {
        fs::create_directories(tbloName, error);
    }
    const std::vector<fs::path> folders = lf_readAfolderParameters();
    if (folders.empty()) {
        gf_openManual();
        gf_openParametersFolder();
        throw UserErrorException(
            49, fmt::format("Exit {} first!   Then set one or more afolder parameters to your "
                            "add-on airports, see Manual 6.2",
                            programId));
    }
    lf_removeScanMadeFiles(myOrbxDir);
    lf_removeScanMadeFiles(myThirdpartyDir);
    const AirportsScanResult result = lf_runAirportsScan(folders);
    if (result == AirportsScanResult::Unchanged) {
        gf_setStatus("Warning: Scan has not found any add-on airports", true);
    }
    // A scan cut short by the run's end stays ticked, so the next start makes the files this one removed.
    if (result != AirportsScanResult::Interrupted) {
        SCAN_AIRPORTS.set(false);
        controlSink().setCheck(SCAN_AIRPORTS);
    }
    mainWindowState.invalidateArea(wholeClientArea);
    if (offlineLearningCount.load() == 0) {
        fs::remove_all(tbloName, error);
    }
    lf_logAndFlush(result == AirportsScanResult::Interrupted
                       ? "airports scan interrupted, it runs again at the next start"
                       : "-------------------------- airports scan ends    ----------------------------\n");
}

} // namespace zeph
