#include "aircraft/livery_scan.h"

#include <deque>
#include <future>
#include <map>
#include <stdexcept>

#include <fmt/format.h>

#include "aircraft/ivao_reader.h"
#include "aircraft/liveries_scanned_file.h"
#include "aircraft/matching_tables.h"
#include "aircraft/regcode_passes.h"
#include "aircraft/scan_reports.h"
#include "core/errors.h"
#include "core/folder_walk.h"
#include "core/log.h"
#include "core/program.h"
#include "core/run_flags.h"
#include "core/scan_tasks.h"
#include "core/strings.h"
#include "settings/control_sink.h"
#include "settings/parameter_table.h"
#include "state/main_window_state.h"
#include "state/shell_folders.h"
#include "state/status_line.h"

namespace zeph {

namespace fs = std::filesystem;

std::list<LiveryData> scannedLiveries;

namespace {

ScanFileReader fileReaderForTests;
std::chrono::milliseconds futureTimeout{10'000};

using Pending = std::deque<std::future<std::list<ScanCandidate>>>;

bool equalsNoCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return gf_toUpperChar(static_cast<unsigned char>(x)) ==
                      gf_toUpperChar(static_cast<unsigned char>(y));
           });
}

bool isLiveryFile(const fs::path& file) {
    const std::string stem = file.stem().string();
    return equalsNoCase(file.extension().string(), ".cfg") &&
           (equalsNoCase(stem, "aircraft") || equalsNoCase(stem, "sim"));
}

// Takes the oldest task's liveries; their titles are claimed here, in walk order.
void collectOldest(Pending& pending) {
    auto future = std::move(pending.front());
    pending.pop_front();
    if (!waitForTaskResult(future, futureTimeout)) {
        return; // a stopped scan keeps no result
    }
    std::list<ScanCandidate> candidates = future.get();
    for (ScanCandidate& candidate : candidates) {
        const LiveryData& r = candidate.record;
        LiveryData record = lf_makeLiveryRecord(r.folderNumber, r.airl, r.type, r.cargo, r.title, r.atcid);
        if (record.isEmpty()) {
            lf_addReportLine(incompleteSectionReport, std::move(candidate.duplicateReport));
            continue;
        }
        if (scannedLiveries.size() >= scannedLiveries.max_size()) {
            throw std::length_error("list too long");
        }
        scannedLiveries.push_back(std::move(record));
    }
}

struct Walk {
    int folderNumber;
    ScanTaskPool& pool;
    Pending pending;
};

// One entry of the walk; true when the walk goes into it.
bool handleEntry(Walk& walk, const fs::directory_entry& entry) {
    const fs::path& path = entry.path();
    const std::string text = path.string();
    if (entry.is_symlink()) {
        if (!entry.is_regular_file()) {
            return false; // no link to a folder is followed, so a loop of links ends
        }
    } else if (entry.is_directory()) {
        return text.find("airport") == std::string::npos && text.size() < 250;
    }
    if (!entry.is_regular_file() || !isLiveryFile(path)) {
        return false;
    }
    if (!gf_waitForTaskSlot()) {
        return false;
    }
    const bool ivao =
        text.find("ivao_x-csl") != std::string::npos || text.find("IVAO_MTL") != std::string::npos;
    const int number = walk.folderNumber;
    walk.pending.push_back(walk.pool.submit([number, path, ivao, reader = fileReaderForTests] {
        if (reader) {
            return reader(number, path, ivao);
        }
        return ivao ? lf_searchLiveriesinIVAOFile(number, path) : lf_searchLiveriesinFile(number, path);
    }));
    if (static_cast<int>(walk.pending.size()) > maxScanTasks.load(std::memory_order_relaxed)) {
        try {
            collectOldest(walk.pending);
        } catch (const std::exception& e) {
            gf_logLine(fmt::format("liveries inner search aborted: {}", e.what()));
        }
    }
    return false;
}

// In name order, so runs agree. A folder that cannot be listed and an entry that cannot be read get one line
// each, and the walk goes on.
void walkFolder(Walk& walk, const fs::path& folder) {
    FolderWalk steps;
    steps.order = ListingOrder::Name;
    steps.visit = [&](const fs::directory_entry& entry) { return handleEntry(walk, entry); };
    steps.failed = [](const fs::path& where, const std::string& cause) {
        gf_logLine(fmt::format("liveries search in {} aborted, cause: {}", where.string(), cause));
    };
    steps.goOn = [] { return !runIsStopping(); };
    walkFolderTree(folder, steps);
}

// A task whose wait timed out may still run: wait for every task before the lists are written or emptied. A
// stop ends the wait; the pool then gives up the tasks that still run, and the scan counts as interrupted.
void waitForLateTasks(ScanTaskPool& pool) {
    while (!pool.waitIdle(std::chrono::seconds(10)) && !runIsStopping()) {
        gf_logText(fmt::format("waiting for {} scan tasks to finish", runningScanTasks.load()));
    }
}

void keepFirstFolderPerAirlineType() {
    std::map<std::pair<std::string, std::string>, std::int64_t> firstFolder;
    for (const LiveryData& livery : scannedLiveries) {
        auto [entry, added] = firstFolder.try_emplace({livery.airl, livery.type}, livery.folderNumber);
        if (!added && livery.folderNumber < entry->second) {
            entry->second = livery.folderNumber;
        }
    }
    scannedLiveries.remove_if([&](const LiveryData& livery) {
        return static_cast<std::int64_t>(livery.folderNumber) > firstFolder.at({livery.airl, livery.type});
    });
}

} // namespace

void setScanFileReaderForTests(ScanFileReader reader) { fileReaderForTests = std::move(reader); }
void setScanFutureTimeoutForTests(std::chrono::milliseconds timeout) { futureTimeout = timeout; }

void lf_resetLiveryScan() {
    lf_clearScanReports();
    {
        std::lock_guard lock(scanTitleSetMutex);
        scanTitleSet.clear();
    }
    const std::lock_guard lock(dontUseTitlesMutex);
    dontUseTitles.clear();
}

void lf_searchLiveries(int folderNumber, const fs::path& folder, ScanTaskPool& pool) {
    Walk walk{folderNumber, pool, {}};
    walkFolder(walk, folder);
    while (!walk.pending.empty()) {
        try {
            collectOldest(walk.pending);
        } catch (const std::exception& e) {
            gf_logLine(fmt::format("liveries search aborted, futs outer, {}", e.what()));
        }
    }
}

std::vector<fs::path> lf_checkLfolder() {
    std::vector<fs::path> folders;
    folders.reserve(10);
    for (const StringParameter& parameter : lfolder) {
        const std::string value = parameter.get();
        if (value.empty()) {
            continue;
        }
        const fs::path folder(value);
        std::error_code error;
        if (!fs::exists(fs::status(folder, error))) {
            gf_logLine(fmt::format("{}: '{}' does not exist", parameter.key, folder.string()));
            throw UserErrorException(
                243, fmt::format("the path pointed to by parameter '{}' does not exist, see Log.txt!",
                                 parameter.key));
        }
        folders.push_back(folder);
    }
    return folders;
}

bool lf_scanLiveryFolders(const std::vector<fs::path>& folders) {
    if (runIsStopping()) {
        return true; // nothing searched, so the files of the previous scan stay
    }
    lf_resetLiveryScan();
    scannedLiveries.clear();
    lf_removePreviousScanFiles();
    lf_readDontUseTitleSources();
    std::size_t total = 0;
    int folderNumber = 0;
    {
        ScanTaskPool pool;
        for (const fs::path& folder : folders) {
            if (folder.empty()) {
                continue;
            }
            const fs::file_status status = fs::status(folder);
            if (!fs::exists(status)) {
                gf_logText(folder.string() + " does not exist, skipped!");
                continue;
            }
            if (!fs::is_directory(status)) {
                gf_logText(folder.string() + " is not a folder name, skipped!");
                continue;
            }
            folderNumber = std::min(folderNumber + 1, 10);
            const std::size_t before = scannedLiveries.size();
            if (!runIsStopping()) {
                lf_searchLiveries(folderNumber, folder, pool);
            }
            // A folder that the stop cut short, or kept the scan from searching, has no count to tell.
            if (runIsStopping()) {
                break;
            }
            const std::size_t found = scannedLiveries.size() - before;
            const std::string where = fmt::format("found in {}", folder.string());
            gf_logText(found < 1 ? fmt::format("No liveries {}", where)
                                 : fmt::format("{} liverie{} {}", found, gf_plural(found), where));
            total += found;
        }
        waitForLateTasks(pool);
    }
    if (runIsStopping()) {
        // A stopped scan leaves nothing behind; the next start scans again.
        scannedLiveries.clear();
        lf_resetLiveryScan();
        return true;
    }
    if (scannedLiveries.empty()) {
        mainWindowState.liveryCount.store(0);
        invalidateTopPanel();
        // The reports tell a new user why nothing was kept: the unknown types, the missing paths.
        lf_writeScanReport();
        lf_resetLiveryScan();
        return false;
    }
    if (folders.size() > 1) {
        gf_logText(fmt::format("{} in total", total));
    }
    lf_updateLiveriesFromDbase();
    if (LIG_PRIORITIZE.get()) {
        keepFirstFolderPerAirlineType();
    }
    if (scannedLiveries.size() >= 2) {
        scannedLiveries.sort();
        scannedLiveries.unique();
    }
    mainWindowState.liveryCount.store(scannedLiveries.size());
    invalidateTopPanel();
    lf_writeLiveriesScanned();
    // The tables are built from the new file also when this process built them before (a restarted run).
    liveryResetRequested.store(true);
    scannedLiveries.clear();
    lf_writeScanReport();
    lf_resetLiveryScan();
    gf_clearStatus();
    return true;
}

void gf_scanLiveries() {
    gf_setStatus(fmt::format("Scanning {}for liveries ...", LIG_PRIORITIZE.get() ? "prioritized " : ""),
                 false);
    gf_logText("\n++++++++++++++++++++++++ liveries scan manual starts ++++++++++++++++++++++++++++++++");
    const std::vector<fs::path> folders = lf_checkLfolder();
    if (folders.empty()) {
        gf_openManual();
        gf_openParametersFolder();
        throw UserErrorException(
            48, fmt::format("Exit {} first!   Then set one or more lfolder parameters to your "
                            "liveries, see Manual 5.3",
                            programId));
    }
    const bool found = lf_scanLiveryFolders(folders);
    // A scan the stop cut short may have found nothing yet: that is no error, the next start scans again.
    if (runIsStopping()) {
        gf_logText("liveries scan interrupted, it runs again at the next start");
        gf_flushLog();
        return;
    }
    if (!found) {
        throw UserErrorException(53, "no liveries found");
    }
    SCAN_LIVERIES.set(false);
    controlSink().setCheck(SCAN_LIVERIES);
    invalidateTopPanel();
    mainWindowState.invalidateArea(settingsArea);
    lf_logAndFlush("\n++++++++++++++++++++++++ liveries scan ends ++++++++++++++++++++++++++++++++\n");
}

} // namespace zeph
