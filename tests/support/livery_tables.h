#pragma once
#include <string>
#include <utility>
#include <vector>

#include "aircraft/livery_data.h"

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

// Fills the airline, airline-type and model tables from liveries, with no file and no registration passes.
void installTestLiveries(std::vector<LiveryData> liveries);
// Writes the liveries to LiveriesScanned.xml of the current program folder and builds every table from it.
void buildMatchingTables(std::vector<LiveryData> liveries);

} // namespace zeph::test
