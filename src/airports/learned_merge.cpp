#include <algorithm>
#include <cmath>
#include <fmt/format.h>
#include <pugixml.hpp>
#include <unordered_map>

#include "airports/airport_file_format.h"
#include "airports/airport_file_locator.h"
#include "airports/auto_range.h"
#include "airports/park_airport_file.h"
#include "core/generations.h"
#include "core/log.h"
#include "core/version.h"
#include "core/xml_meta.h"
#include "settings/control_sink.h"
#include "settings/max_fit_hours.h"
#include "settings/parameter_table.h"
#include "settings/range.h"
#include "settings/xml_parameters.h"
#include "state/main_window_state.h"
#include "state/status_line.h"
#include "state/window_port.h"

namespace zeph {

namespace {

void lf_logSetting(std::string_view key, auto value) {
    lf_logContinuation(fmt::format("{:24}: {}", key, value));
}

void lf_readCheck(const pugi::xml_document& doc, CheckBoxParameter& box) {
    if (const auto value = gf_getBoolParameter(doc, box.key)) {
        box.setValue(*value);
        controlSink().setCheck(box);
        lf_logSetting(box.key, *value);
    }
}

// The eight settings an airport may bring; shown, never saved (leaving the airport restores the user's).
void lf_applyLearnedSettings(const pugi::xml_document& doc) {
    if (const auto value = gf_getIntParameter(doc, MAX_LIVE_SEL.key)) {
        MAX_LIVE_SEL.setValue(MAX_LIVE_SEL.clamp(*value));
        controlSink().selectComboEntry(MAX_LIVE_SEL, MAX_LIVE_SEL.get());
        lf_logSetting(MAX_LIVE_SEL.key, *value);
    }
    if (const auto value = gf_getIntParameter(doc, RANGE.key)) {
        gf_setRange(*value);
        controlSink().enable(RANGE, true);
        lf_logSetting(RANGE.key, *value);
    }
    if (const auto value = gf_getBoolParameter(doc, AUTO_RANGE.key)) {
        AUTO_RANGE.setValue(*value);
        controlSink().setCheck(AUTO_RANGE);
        lf_logSetting(AUTO_RANGE.key, *value);
        lf_applyAutoRange();
    }
    const auto percentage = gf_getIntParameter(doc, parking_percentage.key);
    parking_percentage.setValue(parking_percentage.clamp(percentage.value_or(30)));
    if (percentage) {
        lf_logSetting(parking_percentage.key, *percentage);
    }
    controlSink().selectComboEntry(parking_percentage, parking_percentage.get());
    lf_readCheck(doc, WEEK);
    lf_readCheck(doc, PARK_SOFT);
    if (const auto value = gf_getIntParameter(doc, MAX_FIT.key)) {
        MAX_FIT.setValue(MAX_FIT.clamp(*value));
        MAX_FIT_FL.setValue(lf_maxFitHours(MAX_FIT.get()));
        gf_selectMaxFitCombo();
        lf_logContinuation(fmt::format("{:24}: {} (max number of half hours, is {:.1F} hrs decimal)",
                                       MAX_FIT.key, MAX_FIT.get(), MAX_FIT_FL.get()));
    }
    if (gf_getBoolParameter(doc, INITIAL_LOAD_ONLY.key)) {
        lf_readCheck(doc, INITIAL_LOAD_ONLY);
        // The airport's state of the button; the program's own (nowButtonEnabled) stays as it was.
        controlSink().showEnabled(nowButton,
                                  !INITIAL_LOAD_ONLY.get() && mainWindowState.nowButtonEnabled.load());
    }
}

// A manual stand needs a position off 0,0 and a radius.
bool lf_hasStandAttributes(pugi::xml_node parkpos) {
    const double latitude = parkpos.attribute("latitude").as_double(0.0);
    const double longitude = parkpos.attribute("longitude").as_double(0.0);
    const bool atOrigin = std::fabs(latitude) <= 0.0001 && std::fabs(longitude) <= 0.0001;
    return !atOrigin && isValidStandRadius(parkpos.attribute("radius").as_double(0.0));
}

// The first stand of each id: a learned "parkpos" belongs to the first stand with its id.
using StandIndex = std::unordered_map<std::string, std::size_t>;

StandIndex lf_indexStands(const std::vector<ParkPos>& stands) {
    StandIndex index;
    for (std::size_t n = 0; n < stands.size(); ++n) {
        index.emplace(stands[n].id, n);
    }
    return index;
}

void lf_mergeStand(pugi::xml_node parkpos, const std::filesystem::path& file, std::vector<ParkPos>& stands,
                   StandIndex& index, bool dropUses) {
    std::string id = parkpos.attribute("id").as_string();
    const auto found = index.find(id);
    if (!parkpos.attribute("manual").as_bool()) {
        const LearnedStandContext context{id, parkpos, &dropUses};
        if (found == index.end() || !lf_readLearnedStand(context, stands[found->second])) {
            gf_logText(fmt::format("learned stand {} in {} not found?", id, file.string()));
        }
        return;
    }
    if (found != index.end()) {
        gf_logLine(fmt::format("manually created standid {} already exists in {}", id, file.string()));
        return;
    }
    // A stand without an id could be neither found nor saved and read again.
    if (lf_trimBlanks(id).empty() || !lf_hasStandAttributes(parkpos)) {
        gf_logLine(
            fmt::format("manually created standid {} misses correct attributes in {}", id, file.string()));
        return;
    }
    const std::size_t before = stands.size();
    lf_readParkPos(parkpos, id, 0);
    if (stands.size() > before) {
        stands.back().manual = true;
        index.emplace(std::move(id), before);
    }
}

// After the meta header: the settings, then the whole airport (handmade) or the stands' changes.
void lf_mergeLearned(const pugi::xml_document& doc, const XmlMeta& meta, const std::filesystem::path& file,
                     const ApfHeader& header, std::vector<ParkPos>& stands, bool& handmade) {
    const bool dropUses = Version{11, 10, 0} > gf_parseVersion(meta.version);
    if (dropUses) {
        gf_logText("\nThis learned file was created with and older Corvane version than 11.10.0,\n"
                   "All flights will be cleared, except for a handmade file\n");
    }
    const std::string name = gf_getStringParameter(doc, "airport_name").value_or("");
    if (name != header.airport_name) {
        gf_setStatus(
            fmt::format(
                "Warning: learned file airport name: '{}' differs from archived file airport name: '{}'",
                name, header.airport_name),
            true);
    }
    lf_applyLearnedSettings(doc);
    if (const auto mark = gf_getStringParameter(doc, "handmade")) {
        handmade = true;
        lf_clearParkPositions();
        lf_readParkPositions(doc);
        lf_logSetting("handmade", *mark);
        return;
    }
    handmade = false;
    StandIndex index = lf_indexStands(stands);
    for (const pugi::xml_node parkpos : gf_rootChild(doc, "parkpositions").children("parkpos")) {
        lf_mergeStand(parkpos, file, stands, index, dropUses);
    }
}

} // namespace

void lf_readLearned(const std::filesystem::path& learnedFile, const ApfHeader& header,
                    std::vector<ParkPos>& stands, bool& handmade) {
    pugi::xml_document doc;
    const pugi::xml_parse_result parsed = doc.load_file(learnedFile.c_str());
    if (!parsed) {
        if (gf_save1GenerationOf(learnedFile)) {
            gf_logLine(fmt::format("{} found, but could not be loaded, saved as *.0.xml: {}",
                                   learnedFile.string(), parsed.description()));
            return;
        }
        // Without its copy the damaged file is the user's only one: the leave's save must not replace it.
        learnedMergeIncomplete = true;
        gf_logLine(
            fmt::format("{} found, but could not be loaded nor saved as *.0.xml, it stays as it is: {}",
                        learnedFile.string(), parsed.description()));
        return;
    }
    lf_logAndFlush(fmt::format("Read from learned airport file: '{}'", learnedFile.string()));
    try {
        const std::optional<XmlMeta> meta = gf_readMeta(doc, true);
        if (!meta) {
            learnedMergeIncomplete = true; // nothing of it was read: the save must not replace it unseen
            return;
        }
        lf_mergeLearned(doc, *meta, learnedFile, header, stands, handmade);
    } catch (const std::exception& error) {
        learnedMergeIncomplete = true;
        gf_logText(fmt::format("{}: {}", "lf_readLearned", error.what()));
    }
}

} // namespace zeph
