#pragma once
#include <mutex>
#include <string>
#include <vector>

// The lines of the add-on airport scan's log, collected by the scan workers and written when the scan ends.

namespace zeph {

extern std::vector<std::string> scanLog;
// Guards scanLog: the scan workers add to it at the same time.
extern std::mutex scanLogMutex;

// Appends one line to scanLog. Any thread.
void gf_addScanLogLine(std::string line);
// Room for the lines of one scan.
void lf_reserveScanLog();
// Writes the lines to output/info/AirportsScanLog.txt (LF endings) and logs "{path} written".
void lf_writeScanLog();
void lf_clearScanLog();

} // namespace zeph
