#pragma once
#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "aircraft/liveries_scanned_file.h"
#include "aircraft/livery_data.h"
#include "aircraft/livery_scan.h"
#include "aircraft/matching_tables.h"

// Matching tables for tests, from liveries given in code.

namespace zeph::test {

// A livery of folder 1 without registration.
inline LiveryData testLivery(std::string airl, std::string type, std::string title, bool cargo = false) {
    return LiveryData{std::move(airl), std::move(type), std::move(title), {}, 1, cargo};
}

// The opening line of the matching summary in Log.txt.
inline std::string matchingSummaryBanner() {
    return std::string(31, '*') + " live traffic livery matching summary " + std::string(31, '*');
}

inline void setScannedLiveries(std::vector<LiveryData> liveries) {
    std::sort(liveries.begin(), liveries.end());
    scannedLiveries.assign(std::make_move_iterator(liveries.begin()),
                           std::make_move_iterator(liveries.end()));
}

// Fills the airline, airline-type and model tables from liveries, with no file and no registration passes.
inline void installTestLiveries(std::vector<LiveryData> liveries) {
    setScannedLiveries(std::move(liveries));
    lf_buildAirlineTable();
    lf_indexInstalledTitles();
    lf_buildAirlineTypeTitles();
    lf_buildModelTables();
    scannedLiveries.clear();
}

// Writes the liveries to LiveriesScanned.xml of the current program folder and builds every table from it.
inline void buildMatchingTables(std::vector<LiveryData> liveries) {
    setScannedLiveries(std::move(liveries));
    lf_writeLiveriesScanned();
    gf_processScannedLiveries();
}

} // namespace zeph::test
