#include "airports/scan_log.h"

#include <utility>

namespace zeph {

std::vector<std::string> scanLog;
std::mutex scanLogMutex;

void gf_addScanLogLine(std::string line) {
    const std::lock_guard lock(scanLogMutex);
    scanLog.push_back(std::move(line));
}

} // namespace zeph
