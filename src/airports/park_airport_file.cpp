#include "airports/park_airport_file.h"

#include <optional>
#include <utility>

#include <fmt/format.h>
#include <pugixml.hpp>

#include "airports/airport_database.h"
#include "airports/airport_file_format.h"
#include "airports/airport_file_locator.h"
#include "airports/park_airport_record.h"
#include "core/errors.h"
#include "core/log.h"
#include "core/xml_meta.h"
#include "settings/airport_settings.h"
#include "settings/control_sink.h"
#include "settings/data_tree.h"
#include "settings/parameter_table.h"
#include "settings/xml_parameters.h"
#include "state/main_window_state.h"
#include "state/window_port.h"

namespace zeph {

namespace fs = std::filesystem;

namespace {

void lf_setChecks(bool on) {
    for (CheckBoxParameter* box : {&PARK_SOFT, &WEEK}) {
        box->setValue(on);
        controlSink().setCheck(*box);
    }
}

// Without a learned file: static parking follows the airport's quality, the share of stands its size.
void lf_applyDefaults(const std::string& code) {
    const auto [real, soft] = parkQf;
    if (real <= 2 && soft >= 1) {
        lf_setChecks(true);
        MAX_FIT_FL.setValue(24.0F);
        controlSink().selectComboEntry(MAX_FIT_FL, 24.0F);
    } else if (real >= 46) {
        lf_setChecks(false);
    }
    const AirportRecord* airport = gf_findAirport(code);
    const std::int32_t stands = airport == nullptr ? 0 : airport->stands;
    parking_percentage.setValue(stands == 1 ? 100 : stands == 2 ? 50 : 30);
    lf_logContinuation(fmt::format("{:24}: {}%", parking_percentage.key, parking_percentage.get()));
    controlSink().selectComboEntry(parking_percentage, parking_percentage.get());
    controlSink().enable(parking_percentage, true);
}

void lf_readHeader(const pugi::xml_document& doc, ApfHeader& header) {
    rtTrafficWeek.store(gf_getIntParameter(doc, "RT_traffic_week").value_or(0));
    header.publisher = gf_getStringParameter(doc, "publisher").value_or("");
    const auto altitude = gf_getIntParameter(doc, "altitude");
    if (!altitude) {
        throw UserErrorException(65, "Parameter altitude not found");
    }
    header.altitude = *altitude;
    ParkAirportRecord record = parkAirportRecord;
    record.altitude = *altitude;
    setParkAirportRecord(std::move(record));
    header.airport_name = gf_getStringParameter(doc, "airport_name").value_or("");
}

// The file's (Qf_real, Qf_soft): each 0..100, or both -1 (no stand has a use). Values out of their range
// count as missing, so that what the window shows and the defaults it chooses stay within theirs.
std::optional<std::pair<std::int32_t, std::int32_t>> lf_readQualityValues(const pugi::xml_document& doc) {
    const auto qfReal = gf_getIntParameter(doc, "Qf_real");
    const auto qfSoft = gf_getIntParameter(doc, "Qf_soft");
    const auto inRange = [](std::int32_t value) { return value >= 0 && value <= 100; };
    if (!qfReal || !qfSoft || !((inRange(*qfReal) && inRange(*qfSoft)) || (*qfReal == -1 && *qfSoft == -1))) {
        return std::nullopt;
    }
    return std::make_pair(*qfReal, *qfSoft);
}

// The learned file of the reference; an earlier save under the publisher's folder when that one is missing.
fs::path lf_chooseLearnedFile(const std::string& reference, const ApfHeader& header) {
    const fs::path byReference = lf_archivePathOf(reference, header.publisher);
    if (byReference.empty() || fs::exists(byReference)) {
        return byReference;
    }
    const fs::path byPublisher = lf_learnedFileByPublisher(parkAirportRecord.code, header.publisher);
    return fs::exists(byPublisher) ? byPublisher : byReference;
}

// Two stands overlap when their radii reach past 1/1.1 of their distance. The test is symmetric, so each
// pair is measured once; walking the pairs in list order keeps every adjacentStands in list order.
void lf_numberAndFindOverlaps() {
    std::uint32_t number = 0;
    for (ParkPos& stand : standList) {
        stand.number = ++number;
        stand.adjacentStands.clear();
    }
    for (std::size_t i = 0; i < standList.size(); ++i) {
        ParkPos& a = standList[i];
        for (std::size_t j = i + 1; j < standList.size(); ++j) {
            ParkPos& b = standList[j];
            if (a.radius + b.radius >
                1.1 * gf_greatCircleDistance({a.latitude, a.longitude}, {b.latitude, b.longitude})) {
                a.adjacentStands.push_back(b.number);
                b.adjacentStands.push_back(a.number);
            }
        }
    }
    for (ParkPos& stand : standList) {
        stand.adjacentStands.shrink_to_fit();
    }
}

void lf_showAirport(const std::string& reference, const ApfHeader& header) {
    mainWindowState.standCount.store(standList.size());
    mainWindowState.invalidateArea(countersArea);
    lf_numberAndFindOverlaps();
    const bool handmade = apfHandmade.load();
    gf_logText(fmt::format("Airport file read from '{}' for {}",
                           handmade ? apfLearnedFile.string() : reference, header.airport_name));
    mainWindowState.handmadeFile.store(handmade);
    mainWindowState.setParkAirportPublisher(header.publisher);
    lf_logContinuation(fmt::format("{:24}: {}", "publisher", header.publisher));
    lf_logContinuation(fmt::format("{:24}: {} ft", "altitude", header.altitude));
    lf_logContinuation(fmt::format("{:24}: {}", "num_parkpos", standList.size()));
    lf_logContinuation(fmt::format("{:24}: {}", "quality factor", lf_qualityText()));
    lf_logContinuation(fmt::format("{:24}: {}", "RT traffic week", rtTrafficWeek.load()));
    mainWindowState.setQualityFactorText(lf_qualityText());
    parkAirportLoaded.store(true);
    gf_enableControl(flushStaticButton);
}

std::string lf_readApfFile(const std::string& reference, ApfHeader& header) {
    if (reference.empty()) {
        return fmt::format("{}: xml is empty", "gf_readApf");
    }
    if (parkAirportRecord.code.empty()) {
        return fmt::format("{}: no park airport set", "gf_readApf");
    }
    fs::path file = reference;
    if (!lf_isLocalReference(reference)) {
        file = airportsDir / "park_airport.xml";
        if (std::string error = lf_downloadAirportFile(reference, file); !error.empty()) {
            return error;
        }
    }
    apfHandmade.store(false);
    learnedMergeIncomplete = false;
    pugi::xml_document doc;
    if (!doc.load_file(file.c_str())) {
        return fmt::format("{}: could not load file: {}", reference, file.string());
    }
    if (!gf_readMeta(doc, false)) {
        return fmt::format("{}: refused to load", reference);
    }
    lf_readHeader(doc, header);
    lf_readParkPositions(doc);
    if (const auto quality = lf_readQualityValues(doc)) {
        parkQf = *quality;
    }
    keepUserSettings(currentParkAirportSettings());
    apfLearnedFile = lf_chooseLearnedFile(reference, header);
    if (!apfLearnedFile.empty() && fs::exists(apfLearnedFile)) {
        bool handmade = false;
        lf_readLearned(apfLearnedFile, header, standList, handmade);
        apfHandmade.store(handmade);
        parkQf = lf_qualityFactor();
        if (handmade) {
            gf_logText("A handmade airport file overruled the archived file!");
        }
    } else {
        lf_logAndFlush("learned does not exist");
        lf_applyDefaults(parkAirportRecord.code);
    }
    lf_showAirport(reference, header);
    return standList.empty() ? "no stands found" : "";
}

} // namespace

std::string gf_readApf(const std::string& reference, ApfHeader& header) {
    try {
        return lf_readApfFile(reference, header);
    } catch (const UserErrorException&) {
        throw;
    } catch (const std::exception& error) {
        return fmt::format("{}: {}", "gf_readApf", error.what());
    }
}

} // namespace zeph
