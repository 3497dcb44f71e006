#pragma once
#include <chrono>
#include <filesystem>
#include <functional>
#include <list>
#include <vector>

#include "aircraft/aircraft_cfg_reader.h"
#include "aircraft/livery_data.h"

// The livery scan, run at start while SCAN_LIVERIES is ticked: walks the livery folders lfolder0..9, reads
// each aircraft.cfg and sim.cfg on the scan workers, and keeps the result in LiveriesScanned.xml.

namespace zeph {

class ScanTaskPool;

// The liveries of the scan while it runs, in walk order, then thinned and sorted; empty afterwards.
extern std::list<LiveryData> scannedLiveries;

// The start-up's entry: scans and unticks SCAN_LIVERIES, or leaves it ticked when the run stops meanwhile.
// Throws UserErrorException 48, 243 or 53.
void gf_scanLiveries();
// The non-empty folders of lfolder0..9; throws UserErrorException 243 for one that does not exist.
std::vector<std::filesystem::path> lf_checkLfolder();
// The scan proper; false when no livery was found.
bool lf_scanLiveryFolders(const std::vector<std::filesystem::path>& folders);
// The walk of one folder on the pool's workers; appends to scannedLiveries.
void lf_searchLiveries(int folderNumber, const std::filesystem::path& folder, ScanTaskPool& pool);
// Empties the report lists, the title set and the "don't use" titles.
void lf_resetLiveryScan();

// Tests replace the reader of one file (ivao tells which reader the walk chose); nullptr restores it.
using ScanFileReader = std::function<std::list<ScanCandidate>(int, const std::filesystem::path&, bool ivao)>;
void setScanFileReaderForTests(ScanFileReader reader);
// The wait for the oldest pending task, 10 s unless a test sets it.
void setScanFutureTimeoutForTests(std::chrono::milliseconds timeout);

} // namespace zeph
