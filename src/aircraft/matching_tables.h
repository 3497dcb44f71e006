#pragma once
#include <functional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "core/fnv1a.h"

// The livery-matching tables built from the scanned liveries. A minimal stand-in until the livery matching
// lands.

namespace zeph {

// One installed livery of an airline and type.
struct LiveryTitle {
    std::string title;
    bool cargo = false;
};

// Type -> its liveries, and airline -> that map. It owns every livery title text; every other holder of a
// title keeps a view into it.
using TypeLiveryTitles = std::unordered_map<std::string, std::vector<LiveryTitle>, Fnv1aHash, std::equal_to<>>;
extern std::unordered_map<std::string, TypeLiveryTitles, Fnv1aHash, std::equal_to<>> airlineLiveryTable;

// The stored text of an installed livery with this title, searched through every airline and type; an
// empty view when none is installed.
std::string_view lf_findInstalledTitle(const std::string& title);

// Builds the matching tables from the scanned liveries; every start, after the scan.
void gf_processScannedLiveries();
// Room for the matching tables at the start of the main loop.
void gf_reserveMatchingTables();
// Empties every matching table, so the next run builds them again.
void gf_resetLiveryTables();

} // namespace zeph
