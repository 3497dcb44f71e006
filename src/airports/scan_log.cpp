#include "airports/scan_log.h"

#include <utility>

#include "core/log.h"
#include "core/scan_tasks.h"
#include "core/text_files.h"
#include "settings/data_tree.h"
#include <filesystem>

namespace zeph {

std::vector<std::string> scanLog;
std::mutex scanLogMutex;

void gf_addScanLogLine(std::string line) {
    const std::lock_guard lock(scanLogMutex);
    if (!isScanTaskGivenUp()) { // a given-up worker's line would go to a later scan's log
        scanLog.push_back(std::move(line));
    }
}

void lf_reserveScanLog() {
    const std::lock_guard lock(scanLogMutex);
    scanLog.reserve(2048);
}

void lf_writeScanLog() {
    std::vector<std::string> lines;
    {
        const std::lock_guard lock(scanLogMutex);
        lines = scanLog;
    }
    std::error_code error;
    std::filesystem::create_directories(airportsScanLogFile.parent_path(), error);
    if (gf_writeLinesToFile(lines, airportsScanLogFile)) {
        gf_logText(airportsScanLogFile.string() + " written");
    } else {
        gf_logText(airportsScanLogFile.string() + " could not be written");
    }
}

void lf_clearScanLog() {
    const std::lock_guard lock(scanLogMutex);
    scanLog.clear();
}

} // namespace zeph
