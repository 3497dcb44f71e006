#include "sim/flight_plans.h"

#include <fstream>
#include <string>
#include <string_view>
#include <system_error>

#include <fmt/format.h>

#include "core/log.h"
#include "model/records.h"
#include "settings/data_tree.h"

namespace zeph {

std::filesystem::path flightPlanFolder;

namespace {

bool fliesByInstruments(AcKind kind) {
    return kind == AcKind::Buzjets || kind == AcKind::Large || kind == AcKind::Heavy;
}

// Origin and destination arrive from the network: a code such as "A&B<" must not break the file.
std::string escapeXml(std::string_view text) {
    std::string escaped;
    escaped.reserve(text.size());
    for (const char c : text) {
        switch (c) {
        case '&':
            escaped += "&amp;";
            break;
        case '<':
            escaped += "&lt;";
            break;
        case '>':
            escaped += "&gt;";
            break;
        case '"':
            escaped += "&quot;";
            break;
        case '\'':
            escaped += "&apos;";
            break;
        default:
            escaped += c;
            break;
        }
    }
    return escaped;
}

std::string flightPlanText(const AcProfile& aircraft) {
    return fmt::format("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                       "<SimBase.Document Type=\"AceXML\" version=\"4,3\">\n"
                       "<FlightPlan.FlightPlan>\n"
                       "<FPType>{}</FPType>\n"
                       "<DepartureID>{}</DepartureID>\n"
                       "<DestinationID>{}</DestinationID>\n"
                       "</FlightPlan.FlightPlan>\n"
                       "</SimBase.Document>\n"
                       "\n",
                       fliesByInstruments(aircraft.kind) ? "IFR" : "VFR", escapeXml(aircraft.from),
                       escapeXml(aircraft.to));
}

} // namespace

bool gf_createFlightPlanFolder() {
    flightPlanFolder = flightPlanDir();
    std::error_code error;
    std::filesystem::create_directories(flightPlanFolder, error);
    if (error) {
        gf_logText(fmt::format("gf_createFlightPlanFolder: {}", error.message()));
    }
    return std::filesystem::exists(flightPlanFolder);
}

std::filesystem::path gf_flightPlanPath(std::uint32_t objectId) {
    return flightPlanFolder / fmt::format("{}.pln", objectId);
}

// Written in place rather than through a temp file: the plan is read once by the simulator right after, and
// a failed write is reported so that the caller does not hand the file over. The failure only shows when
// the buffer goes out, so the flush and the close are checked as well as the write.
bool gf_writeFlightPlan(const std::filesystem::path& file, const AcProfile& aircraft) {
    const std::string text = flightPlanText(aircraft);
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    if (!out.is_open()) {
        return false;
    }
    out.write(text.data(), static_cast<std::streamsize>(text.size()));
    out.flush();
    out.close();
    return !out.fail();
}

} // namespace zeph
