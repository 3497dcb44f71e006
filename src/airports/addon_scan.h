#pragma once
#include <chrono>
#include <filesystem>
#include <vector>

#include "airports/bgl_airport_record.h"

// The add-on airport scan, run at start while SCAN_AIRPORTS is ticked: every BGL file with an airport section
// below the folders afolder0..afolder9 is decoded on a scan worker; its airports are linked to the maker's
// archived files or get generated airport files; unknown third-party airports are packed for offline
// learning. No worker outlives the scan.

namespace zeph {

class ScanTaskPool;

// The whole scan; unticks SCAN_AIRPORTS when done, not when the run's end cut it short. Throws
// UserErrorException 49 when no afolder is set and 42 when one lies in the simulator's own scenery.
void gf_scanAddonAirports();
// The non-empty afolder values in order.
std::vector<std::filesystem::path> lf_readAfolderParameters();
// What one scan run did. A scan that the run's end cut short writes neither its log nor a package.
enum class AirportsScanResult { Changed, Unchanged, Interrupted };
// One scan over the folders, its log and its package; Changed when it wrote airport files.
AirportsScanResult lf_runAirportsScan(const std::vector<std::filesystem::path>& folders);
// Checks and walks each folder; every worker has ended on return.
void lf_scanAirportFolders(const std::vector<std::filesystem::path>& folders);
// The walk of one folder: a task on pool per BGL file with an airport section.
void lf_scanFolderForAirports(const std::filesystem::path& folder, ScanTaskPool& pool);
// Whether the path lies in the simulator's stock scenery folder (ignoring case); false while that is unknown.
bool lf_isInSimFolder(const std::filesystem::path& path);

// How long the scan waits for one worker's result (10 s), and where decoded airports go (the airport files).
void setAirportScanFutureWaitForTests(std::chrono::milliseconds wait);
void setAirportScanSinkForTests(BglAirportSink sink);

} // namespace zeph
