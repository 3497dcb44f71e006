#include <cmath>
#include <system_error>

#include <fmt/format.h>
#include <gsl/narrow>

#include "aircraft/regcodes.h"
#include "airports/airport_database.h"
#include "airports/airport_file_format.h"
#include "core/log.h"
#include "core/version.h"
#include "core/xml_meta.h"
#include "settings/parameter_table.h"
#include "settings/range.h"
#include "settings/xml_parameters.h"
#include "state/run_state.h"

namespace zeph {

std::atomic<bool> apfHandmade{false};

namespace {

constexpr int kLearnedMode = 0;
constexpr int kGeneratedMode = 1;

const char* boolText(bool value) { return value ? "true" : "false"; }

std::string radiusText(const ParkPos& stand) { return fmt::format("{:.1f}", stand.radius * kMetresPerNm); }

void appendGeometry(pugi::xml_node& node, const ParkPos& stand) {
    gf_appendAttribute(node, "latitude", fmt::format("{:.6f}", stand.latitude));
    gf_appendAttribute(node, "longitude", fmt::format("{:.6f}", stand.longitude));
    gf_appendAttribute(node, "heading", fmt::format("{:.1f}", stand.heading * kRadToDeg));
    gf_appendAttribute(node, "radius", radiusText(stand));
    if (stand.heli) {
        gf_appendAttribute(node, "heli", "true");
    } else {
        gf_appendAttribute(node, "cargo", boolText(stand.cargo));
    }
    gf_appendAttribute(node, "ramp", boolText(stand.ramp));
    if (stand.manual) {
        gf_appendAttribute(node, "manual", "true");
    }
}

void appendChanges(pugi::xml_node& node, const ParkPos& stand) {
    if (stand.radiusChanged) {
        gf_appendAttribute(node, "radius_change", "true");
        gf_appendAttribute(node, "radius", radiusText(stand));
    }
    if (stand.cargoChanged) {
        gf_appendAttribute(node, "cargo_change", "true");
        gf_appendAttribute(node, "cargo", boolText(stand.cargo));
    }
}

void appendUse(pugi::xml_node& parkpos, const StandUse& use) {
    const std::optional<std::string> hours = gf_bitset2hours(use.slots);
    if (!hours) {
        gf_logLine(
            fmt::format("bit set problem: {} {} {:3} {:4}", use.reg, use.callsign, use.airline, use.type));
        return;
    }
    pugi::xml_node opt = parkpos.append_child("opt");
    gf_appendAttribute(opt, "reg", use.reg);
    // A registration the table knows brings its airline and type back when read.
    if (!gf_lookupRegcode(use.reg)) {
        gf_appendAttribute(opt, "airl", use.airline);
        gf_appendAttribute(opt, "type", use.type);
    }
    if (use.real == 0) {
        gf_appendAttribute(opt, "soft", "true");
    }
    gf_appendAttribute(opt, "day", fmt::format("{}", use.day));
    gf_appendAttribute(opt, "hh", *hours);
    if (!use.callsign.empty()) {
        gf_appendAttribute(opt, "cs",
                           use.callsign2.empty() ? use.callsign : use.callsign + ":" + use.callsign2);
    }
    if (use.coupled != 0) {
        gf_appendAttribute(opt, "cpl", "true");
    }
}

void appendStand(pugi::xml_node& parkpositions, const ParkPos& stand, int mode) {
    pugi::xml_node node = parkpositions.append_child("parkpos");
    gf_appendAttribute(node, "id", stand.id);
    if (mode == kGeneratedMode) {
        appendGeometry(node, stand);
        return;
    }
    // The geometry carries the current radius and cargo flag, so no change marks go with it.
    if (stand.manual || apfHandmade.load()) {
        appendGeometry(node, stand);
    } else {
        appendChanges(node, stand);
    }
    for (const StandUse& use : stand.uses) {
        if (use.id != 0) {
            appendUse(node, use);
        }
    }
}

void appendSettings(pugi::xml_node& parameters) {
    gf_appendIntParameter(parameters, "RANGE", chosenRangeNm());
    gf_appendBoolParameter(parameters, "AUTO_RANGE", AUTO_RANGE.get());
    gf_appendBoolParameter(parameters, "WEEK", WEEK.get());
    gf_appendBoolParameter(parameters, "PARK_SOFT", PARK_SOFT.get());
    gf_appendIntParameter(parameters, "parking_percentage", parking_percentage.get());
    gf_appendBoolParameter(parameters, "INITIAL_LOAD_ONLY",
                           INITIAL_LOAD_ONLY.get() && !initialLoadOnlyByFlush.load());
    const double hours = MAX_FIT_FL.get();
    // Rounded to a 64-bit whole number first: an hours value past 32 bits then throws a narrowing error
    // instead of an undefined conversion.
    gf_appendIntParameter(parameters, "MAX_FIT", gsl::narrow<std::int32_t>(std::llround(2.0 * hours)) - 1);
    gf_appendIntParameter(parameters, "MAX_LIVE_SEL", MAX_LIVE_SEL.get());
}

} // namespace

bool lf_writeAirportHeader(pugi::xml_node root, const ApfData& airport, int mode) {
    pugi::xml_node parameters = root.append_child("parameters");
    if (!parameters) {
        return false;
    }
    const bool handmade = apfHandmade.load();
    gf_appendStringParameter(parameters, "airport_name", airport.airportName);
    gf_appendStringParameter(parameters, "publisher", airport.publisher);
    if (handmade) {
        gf_appendBoolParameter(parameters, "handmade", true);
    }
    if (handmade || mode == kGeneratedMode) {
        gf_appendIntParameter(parameters, "altitude", airport.altitude);
    }
    if (mode == kGeneratedMode) {
        gf_appendIntParameter(parameters, "num_parkpos", gsl::narrow<std::int32_t>(airport.stands.size()));
    }
    if (handmade) {
        gf_appendIntParameter(parameters, "Qf_real", airport.qfReal);
        gf_appendIntParameter(parameters, "Qf_soft", airport.qfSoft);
    }
    if (airport.publisher.empty()) {
        gf_appendStringParameter(parameters, "BGLpath", airport.bglPath);
    }
    if (mode == kLearnedMode) {
        appendSettings(parameters);
    }
    return true;
}

bool gf_writeApf(const ApfData& airport, const std::filesystem::path& file, int mode, int simulatorKind) {
    pugi::xml_document doc;
    XmlMeta meta;
    meta.version = gf_versionText(programVersion);
    gf_setSimulatorKind(meta, simulatorKind);
    if (!gf_writeMeta(doc, meta)) {
        return false;
    }
    pugi::xml_node root = doc.child("root");
    if (!root) {
        root = doc.append_child("root");
    }
    if (!root || !lf_writeAirportHeader(root, airport, mode)) {
        return false;
    }
    pugi::xml_node parkpositions = root.append_child("parkpositions");
    if (!parkpositions) {
        return false;
    }
    for (const ParkPos& stand : airport.stands) {
        appendStand(parkpositions, stand, mode);
    }
    // A folder that cannot be made shows as a failed save.
    std::error_code ignored;
    std::filesystem::create_directories(file.parent_path(), ignored);
    return gf_addXmlDeclaration(doc, file);
}

} // namespace zeph
