#include "support/livery_tables.h"

#include <algorithm>

#include "aircraft/liveries_scanned_file.h"
#include "aircraft/livery_scan.h"
#include "aircraft/matching_tables.h"

namespace zeph::test {
namespace {

void setScannedLiveries(std::vector<LiveryData> liveries) {
    std::sort(liveries.begin(), liveries.end());
    scannedLiveries.assign(std::make_move_iterator(liveries.begin()), std::make_move_iterator(liveries.end()));
}

} // namespace

void installTestLiveries(std::vector<LiveryData> liveries) {
    setScannedLiveries(std::move(liveries));
    lf_buildAirlineTable();
    lf_indexInstalledTitles();
    lf_buildAirlineTypeTitles();
    lf_buildModelTables();
    scannedLiveries.clear();
}

void buildMatchingTables(std::vector<LiveryData> liveries) {
    setScannedLiveries(std::move(liveries));
    lf_writeLiveriesScanned();
    gf_processScannedLiveries();
}

} // namespace zeph::test
