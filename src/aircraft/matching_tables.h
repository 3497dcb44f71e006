#pragma once
#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "core/fnv1a.h"

// The livery-matching tables: the installed liveries arranged by the questions the matcher asks. Built once
// per process on the start-up thread from LiveriesScanned.xml, then only read by the traffic thread until a
// new livery scan is asked for; that request is served by the next start-up, never under the traffic thread.

namespace zeph {

enum class AcKind : std::uint32_t;

// One installed livery of an airline and type.
struct LiveryTitle {
    std::string title;
    bool cargo = false;
};

// Type -> its liveries, and airline -> that map. It owns every livery title text; every other holder of a
// title keeps a view into it.
using TypeLiveryTitles =
    std::unordered_map<std::string, std::vector<LiveryTitle>, Fnv1aHash, std::equal_to<>>;
extern std::unordered_map<std::string, TypeLiveryTitles, Fnv1aHash, std::equal_to<>> airlineLiveryTable;

// Views of titles by type, and by airline and type. Index 0 holds passenger titles, 1 cargo titles; only
// non-empty lists and maps are entered.
using TitleViews = std::vector<std::string_view>;
using TypeTitleViews = std::unordered_map<std::string, TitleViews, Fnv1aHash, std::equal_to<>>;
using AirlineTypeTitleViews = std::unordered_map<std::string, TypeTitleViews, Fnv1aHash, std::equal_to<>>;
extern std::array<AirlineTypeTitleViews, 2> airlineTypeTitles;
extern std::array<TypeTitleViews, 2> modelTitles;

// The types of these categories that have at least one livery, ascending.
extern std::vector<std::string> lightModels;
extern std::vector<std::string> buzjetModels;
extern std::vector<std::string> rotorcraftModels;

// Every installed title, each a view of its stored text: finding a title gives the stored view.
extern std::unordered_set<std::string_view, Fnv1aHash, std::equal_to<>> installedTitles;

// The special titles of the registration passes, for the matcher's question whether a title is one.
extern std::unordered_set<std::string_view, Fnv1aHash, std::equal_to<>> specialTitleIndex;

// The categories whose boxes the last build switched off for want of liveries.
extern std::vector<AcKind> categoriesWithoutLiveries;

extern bool liveryTablesBuilt; // the tables of this process are built (start-up thread)
extern bool matchingReserved;  // gf_reserveMatchingTables has acted in this process
// A new livery scan was asked for, or a scan has written LiveriesScanned.xml: the next
// gf_processScannedLiveries empties the tables and builds anew.
extern std::atomic<bool> liveryResetRequested;

// Builds every table from LiveriesScanned.xml; once per process unless a reset was asked for. Start-up
// thread. Throws the file reader's UserErrorException, leaving nothing built.
void gf_processScannedLiveries();
// Any thread: asks the next start-up to empty the tables and build them again. Touches no table, so the
// traffic thread can go on reading them until its run has ended.
void gf_resetLiveryTables() noexcept;
// Room for the special titles and the category lists; the first call of the process only.
void gf_reserveMatchingTables();
// Empties every matching table, the registration tables and the similar-type tables.
void lf_emptyLiveryTables();

// Builders, run by gf_processScannedLiveries in this order.
void lf_buildAirlineTable();
void lf_indexInstalledTitles();
void lf_indexSpecialTitles();
void lf_buildAirlineTypeTitles();
void lf_buildModelTables();
void lf_buildCategories(AcKind kind);
void lf_genericLiveries();
// Switches off the boxes of categoriesWithoutLiveries again: every start enables them, and a start that uses
// the tables built before must leave them as the build did.
void lf_switchOffEmptyCategories();
// The types filed under "ZZZ", or nothing without generic liveries.
std::optional<std::vector<std::string>> lf_genericModels();
// Appends the types to the one category list named and logs them, up to 20 a line.
void lf_fillCategoryTypeLists(bool light, bool buzjet, bool rotorcraft,
                              const std::vector<std::string>& types);

// The stored text of an installed livery with this title; an empty view when none is installed.
std::string_view lf_findInstalledTitle(const std::string& title);
// Whether the airline has any livery of the type.
bool gf_hasAirlineTypeLivery(const std::string& airline, const std::string& type);
// The airline keys of airlineLiveryTable in its order, each cut to 3 characters.
std::vector<std::string> gf_scannedAirlineCodes();
// A type of the category's list, at random while RANDOM is on, else the first; empty for an empty list.
std::string lf_randomLightType();
std::string lf_randomBuzjetType();
std::string lf_randomRotorcraftType();

} // namespace zeph
