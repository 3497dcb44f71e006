#include "aircraft/matching_tables.h"

#include <algorithm>
#include <iterator>
#include <tuple>

#include <fmt/format.h>

#include "aircraft/liveries_scanned_file.h"
#include "aircraft/livery_scan.h"
#include "aircraft/regcode_passes.h"
#include "aircraft/similar_types.h"
#include "core/log.h"
#include "model/records.h"
#include "state/main_window_state.h"

namespace zeph {

std::unordered_map<std::string, TypeLiveryTitles, Fnv1aHash, std::equal_to<>> airlineLiveryTable;
std::array<AirlineTypeTitleViews, 2> airlineTypeTitles;
std::array<TypeTitleViews, 2> modelTitles;
std::vector<std::string> lightModels;
std::vector<std::string> buzjetModels;
std::vector<std::string> rotorcraftModels;
std::unordered_set<std::string_view, Fnv1aHash, std::equal_to<>> installedTitles;
std::unordered_set<std::string_view, Fnv1aHash, std::equal_to<>> specialTitleIndex;
bool liveryTablesBuilt = false;
bool matchingReserved = false;
std::atomic<bool> liveryResetRequested{false};

namespace {

// Working lists are reserved this large once and reused; what a table keeps is a copy of its exact size.
constexpr std::size_t kTitlesPerAirlineType = 4048;
constexpr std::size_t kTitlesPerModel = 15000;

template <class T> std::vector<T> exactCopy(std::vector<T>& work) {
    std::vector<T> copy(std::make_move_iterator(work.begin()), std::make_move_iterator(work.end()));
    work.clear();
    return copy;
}

void repaintMainWindow() { mainWindowState.invalidateArea(wholeClientArea); }

void buildTables() {
    lf_buildAirlineTable();
    lf_indexInstalledTitles();
    lf_buildAirlineTypeTitles();
    lf_checkInlineRegcodes();
    lf_processOfflineRegcodes();
    lf_indexSpecialTitles();
    gf_logText(fmt::format("{} registration codes", regcodeTitleTable.size()));
    lf_buildModelTables();
    gf_logText(fmt::format("{} airlines, {} pax aircraft models and {} cargo aircraft models",
                           airlineLiveryTable.size(), modelTitles[0].size(), modelTitles[1].size()));
    lf_buildSimilarModels();
    for (std::uint32_t kind = 0; kind <= 5; ++kind) {
        lf_buildCategories(static_cast<AcKind>(kind));
    }
    lf_genericLiveries();
}

} // namespace

void gf_processScannedLiveries() {
    if (liveryResetRequested.exchange(false)) {
        lf_emptyLiveryTables();
        liveryTablesBuilt = false;
    }
    if (liveryTablesBuilt) {
        gf_logText("Processing scanned liveries skipped; already done in previous start-up");
        lf_switchOffEmptyCategories();
        scannedLiveries.clear();
        return;
    }
    // A build that failed halfway before must not leave entries that this one would add to.
    lf_emptyLiveryTables();
    lf_readLiveriesScanned();
    mainWindowState.liveryCount.store(scannedLiveries.size());
    repaintMainWindow();
    buildTables();
    liveryTablesBuilt = true;
    repaintMainWindow();
    scannedLiveries.clear();
}

void gf_resetLiveryTables() noexcept { liveryResetRequested.store(true); }

void gf_reserveMatchingTables() {
    if (matchingReserved) {
        return;
    }
    specialTitles.reserve(4096);
    lightModels.reserve(64);
    buzjetModels.reserve(128);
    rotorcraftModels.reserve(32);
    matchingReserved = true;
}

void lf_emptyLiveryTables() {
    // Views first, the owning table last.
    lightModels.clear();
    buzjetModels.clear();
    rotorcraftModels.clear();
    specialRegcodes.clear();
    uniqueRegcodes.clear();
    specialTitles.clear();
    specialTitleIndex.clear();
    regcodeTitleTable.clear();
    lf_emptySimilarTypes();
    for (std::size_t k = 0; k < 2; ++k) {
        modelTitles[k].clear();
        airlineTypeTitles[k].clear();
    }
    installedTitles.clear();
    airlineLiveryTable.clear();
    categoriesWithoutLiveries.clear();
}

void lf_buildAirlineTable() {
    std::vector<LiveryTitle> titles;
    titles.reserve(kTitlesPerAirlineType);
    TypeLiveryTitles types;
    const LiveryData* group = nullptr; // the first livery of the current airline and type
    auto enterTitles = [&] {
        if (!titles.empty()) {
            types.emplace(group->type, exactCopy(titles));
        }
    };
    for (LiveryData& livery : scannedLiveries) {
        if (group != nullptr && !gf_sameAirlineType(*group, livery)) {
            enterTitles();
            if (group->airl != livery.airl) {
                airlineLiveryTable.emplace(group->airl, std::move(types));
                types = {};
            }
        }
        if (group == nullptr || !gf_sameAirlineType(*group, livery)) {
            group = &livery;
        }
        titles.push_back({livery.title, livery.cargo});
    }
    if (group != nullptr) {
        enterTitles();
        airlineLiveryTable.emplace(group->airl, std::move(types));
    }
}

void lf_indexInstalledTitles() {
    installedTitles.clear();
    for (const auto& [airline, types] : airlineLiveryTable) {
        for (const auto& [type, titles] : types) {
            for (const LiveryTitle& livery : titles) {
                installedTitles.insert(livery.title);
            }
        }
    }
}

void lf_indexSpecialTitles() { specialTitleIndex = {specialTitles.begin(), specialTitles.end()}; }

void lf_buildAirlineTypeTitles() {
    for (const auto& [airline, types] : airlineLiveryTable) {
        std::array<TypeTitleViews, 2> byKind;
        for (const auto& [type, titles] : types) {
            const auto cargoCount = static_cast<std::size_t>(
                std::ranges::count_if(titles, [](const LiveryTitle& livery) { return livery.cargo; }));
            std::array<TitleViews, 2> views;
            views[1].reserve(cargoCount);
            views[0].reserve(titles.size() - cargoCount);
            for (const LiveryTitle& livery : titles) {
                views[livery.cargo ? 1 : 0].emplace_back(livery.title);
            }
            for (std::size_t k = 0; k < 2; ++k) {
                if (!views[k].empty()) {
                    byKind[k].emplace(type, std::move(views[k]));
                }
            }
        }
        for (std::size_t k = 0; k < 2; ++k) {
            if (!byKind[k].empty()) {
                airlineTypeTitles[k].emplace(airline, std::move(byKind[k]));
            }
        }
    }
}

void lf_buildModelTables() {
    struct ModelRecord {
        std::string_view type;
        std::string_view title;
        bool cargo;
    };
    std::vector<ModelRecord> records;
    for (const auto& [airline, types] : airlineLiveryTable) {
        for (const auto& [type, titles] : types) {
            for (const LiveryTitle& livery : titles) {
                records.push_back({type, livery.title, livery.cargo});
            }
        }
    }
    std::sort(records.begin(), records.end(),
              [](const ModelRecord& a, const ModelRecord& b) { return a.type < b.type; });
    std::array<TitleViews, 2> work;
    work[0].reserve(kTitlesPerModel);
    work[1].reserve(kTitlesPerModel);
    auto enterType = [&](std::string_view type) {
        for (std::size_t k = 0; k < 2; ++k) {
            if (!work[k].empty()) {
                modelTitles[k].emplace(std::string(type), exactCopy(work[k]));
            }
        }
    };
    for (std::size_t i = 0; i < records.size(); ++i) {
        if (i > 0 && records[i].type != records[i - 1].type) {
            enterType(records[i - 1].type);
        }
        work[records[i].cargo ? 1 : 0].push_back(records[i].title);
    }
    if (!records.empty()) {
        enterType(records.back().type);
    }
}

std::string_view lf_findInstalledTitle(const std::string& title) {
    const auto found = installedTitles.find(std::string_view(title));
    return found == installedTitles.end() ? std::string_view{} : *found;
}

bool gf_hasAirlineTypeLivery(const std::string& airline, const std::string& type) {
    const auto types = airlineLiveryTable.find(airline);
    return types != airlineLiveryTable.end() && types->second.contains(type);
}

std::vector<std::string> gf_scannedAirlineCodes() {
    std::vector<std::string> codes;
    codes.reserve(airlineLiveryTable.size());
    for (const auto& entry : airlineLiveryTable) {
        codes.push_back(entry.first.substr(0, 3));
    }
    return codes;
}

} // namespace zeph
