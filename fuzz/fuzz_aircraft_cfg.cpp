// The readers of aircraft.cfg: the bytes as a file's lines go through the section-number check and the
// section readers, the standard ones or (odd first byte) the IVAO ones, in one aircraft folder with its
// model and texture folders. Short lines are also held against the ECMAScript patterns the hand-written
// matchers stand for. Any input gives report lines, never a crash.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <regex>
#include <string>
#include <string_view>
#include <vector>

#include <unistd.h>

#include "aircraft/aircraft_cfg_reader.h"
#include "aircraft/aircraft_database.h"
#include "aircraft/cfg_lines.h"
#include "aircraft/ivao_reader.h"
#include "aircraft/scan_reports.h"
#include "core/text_files.h"

namespace {

namespace fs = std::filesystem;

fs::path placeRoot() {
    return fs::temp_directory_path() / ("fuzz_aircraft_cfg." + std::to_string(::getpid()));
}

struct AircraftFolder {
    fs::path folder;
    fs::path file;
    zeph::WinFolder listing;
    AircraftFolder() {
        folder = placeRoot() / "IVAO_MTL" / "IVAO_B738";
        std::atexit([] {
            std::error_code ignored;
            fs::remove_all(placeRoot(), ignored);
        });
        fs::create_directories(folder / "model");
        fs::create_directories(folder / "texture.KLM");
        std::ofstream(folder / "ac.air").flush();
        file = folder / "aircraft.cfg";
        std::error_code error;
        listing = zeph::WinFolder(folder, error);
        zeph::aircraftTypes = {"B738", "B744"};
        zeph::heavyTypes = {"B744"};
        zeph::airlineCodes = {"KLM", "BAW", "ZZZ"};
    }
};

void checkAgainstPatterns(const std::string& line) {
    static const std::regex title("\\s*(title)\\s*=\\s*(.*\\S)\\s*", std::regex::icase);
    static const std::regex header("\\s*(\\[fltsim\\.)(-?\\d+)\\]\\s*", std::regex::icase);
    std::smatch match;
    const auto value = zeph::lf_parseCfgKeyLine(line, "title");
    if (value.has_value() != std::regex_match(line, match, title) || (value && *value != match[2].str())) {
        std::abort();
    }
    const std::string number = zeph::lf_parseFltSimHeader(line);
    if (!line.starts_with("//") && std::regex_match(line, match, header)) {
        if (number != match[2].str()) {
            std::abort();
        }
    } else if (!number.empty() && number != "10000") {
        std::abort();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const AircraftFolder place;
    if (size == 0) {
        return 0;
    }
    const bool ivao = (data[0] & 1) != 0;
    std::vector<std::string> lines;
    zeph::lf_splitLines(std::string_view(reinterpret_cast<const char*>(data + 1), size - 1), lines);
    for (const std::string& line : lines) {
        if (line.size() < 256) {
            checkAgainstPatterns(line);
        }
    }
    try {
        if (zeph::lf_checkFltSimNumbers(lines, place.file)) {
            if (ivao) {
                zeph::lf_procesIVAOFltSimSections(1, lines, "B738", place.file, place.folder, place.listing);
            } else if (const std::string type = zeph::lf_fixMissingAtcModel(place.file, lines);
                       !type.empty()) {
                zeph::lf_procesFltSimSections(1, lines, type, place.file, place.folder, place.listing);
            }
        }
    } catch (const std::filesystem::filesystem_error&) {
        // a listing that fails ends the scan on purpose; the folder here is always there
        std::abort();
    }
    zeph::lf_clearScanReports();
    return 0;
}
