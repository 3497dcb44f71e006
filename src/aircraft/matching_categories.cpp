// The category side of the matching tables: which types of each category have liveries, the categories
// switched off for want of liveries, and the generic liveries.

#include <algorithm>

#include <fmt/format.h>

#include "aircraft/aircraft_database.h"
#include "aircraft/matching_tables.h"
#include "core/log.h"
#include "core/strings.h"
#include "model/records.h"
#include "settings/control_sink.h"
#include "settings/parameter_table.h"
#include "settings/random_choice.h"

namespace zeph {

std::vector<AcKind> categoriesWithoutLiveries;

namespace {

constexpr std::size_t kTypesPerLogLine = 20;

// The check box of a category the traffic engine can leave out, with the end of its "switched off" line.
struct CategoryBox {
    CheckBoxParameter* box;
    const char* missing;
};

std::optional<CategoryBox> categoryBoxOf(AcKind kind) {
    switch (kind) {
    case AcKind::Light:
        return CategoryBox{&LIGHT_AIRCRAFT, "light aircraft"};
    case AcKind::HighPerf:
        return CategoryBox{&HIGH_PERF_AIRCRAFT, "High Perf aircraft"};
    case AcKind::Rotorcraft:
        return CategoryBox{&HELICOPTERS, "Helicopters"};
    default:
        return std::nullopt;
    }
}

void switchOffCategory(const CategoryBox& category) {
    if (category.box->get()) {
        category.box->set(false);
        controlSink().setCheck(*category.box);
        gf_logText(fmt::format("{} temporarily switched off because you do not have {} installed",
                               category.box->key, category.missing));
    }
    controlSink().enable(*category.box, false);
}

std::string randomEntry(const std::vector<std::string>& types) {
    if (types.empty()) {
        return {};
    }
    return types[gf_randomIndex(static_cast<std::int64_t>(types.size()))];
}

void sortUnique(std::vector<std::string>& types) {
    std::sort(types.begin(), types.end());
    types.erase(std::unique(types.begin(), types.end()), types.end());
}

} // namespace

void lf_buildCategories(AcKind kind) {
    std::array<std::size_t, 2> counts{0, 0}; // passenger, cargo titles
    std::vector<std::string> types;
    for (std::size_t k = 0; k < 2; ++k) {
        for (const auto& [type, titles] : modelTitles[k]) {
            if (gf_categoryOfType(type) == static_cast<int>(kind)) {
                types.push_back(type);
                counts[k] += titles.size();
            }
        }
    }
    const std::optional<CategoryBox> category = categoryBoxOf(kind);
    if (counts[0] == 0 && counts[1] == 0) {
        gf_logText(fmt::format("Category {}: No livery found", gf_categoryName(kind)));
        // Categories come from the aircraft database. Without it (a run that ends for a prepared update reads
        // none) every type counts as light, and the other boxes would be saved as off for good.
        if (category && !aircraftTypes.empty()) {
            switchOffCategory(*category);
            categoriesWithoutLiveries.push_back(kind);
        }
        return;
    }
    const std::string cargoPart =
        counts[1] == 0 ? std::string()
                       : fmt::format(" and {} cargo liverie{}", counts[1], gf_plural(counts[1]));
    gf_logText(fmt::format("Category {}: {} pax liverie{}{}", gf_categoryName(kind), counts[0],
                           gf_plural(counts[0]), cargoPart));
    sortUnique(types);
    lf_fillCategoryTypeLists(kind == AcKind::Light, kind == AcKind::Buzjets, kind == AcKind::Rotorcraft,
                             types);
    if (category) {
        controlSink().enable(*category->box, true);
    }
}

void lf_switchOffEmptyCategories() {
    for (const AcKind kind : categoriesWithoutLiveries) {
        switchOffCategory(*categoryBoxOf(kind));
    }
}

void lf_fillCategoryTypeLists(bool light, bool buzjet, bool rotorcraft,
                              const std::vector<std::string>& types) {
    std::vector<std::string>* list = light        ? &lightModels
                                     : buzjet     ? &buzjetModels
                                     : rotorcraft ? &rotorcraftModels
                                                  : nullptr;
    for (std::size_t start = 0; start < types.size(); start += kTypesPerLogLine) {
        const std::size_t end = std::min(types.size(), start + kTypesPerLogLine);
        std::string line = "  ";
        for (std::size_t i = start; i < end; ++i) {
            if (list != nullptr) {
                list->push_back(types[i]);
            }
            line += types[i];
            line += i + 1 < end ? "," : "";
        }
        gf_logText(line);
    }
}

std::optional<std::vector<std::string>> lf_genericModels() {
    const auto generic = airlineLiveryTable.find("ZZZ");
    if (generic == airlineLiveryTable.end()) {
        return std::nullopt;
    }
    std::vector<std::string> types;
    types.reserve(generic->second.size());
    for (const auto& entry : generic->second) {
        types.push_back(entry.first);
    }
    return types;
}

void lf_genericLiveries() {
    std::optional<std::vector<std::string>> types = lf_genericModels();
    if (!types) {
        gf_logText("No generic liveries");
        return;
    }
    sortUnique(*types);
    gf_logText(fmt::format("{} model{} have a generic livery", types->size(), gf_plural(types->size())));
    lf_fillCategoryTypeLists(false, false, false, *types);
}

std::string lf_randomLightType() { return randomEntry(lightModels); }
std::string lf_randomBuzjetType() { return randomEntry(buzjetModels); }
std::string lf_randomRotorcraftType() { return randomEntry(rotorcraftModels); }

} // namespace zeph
