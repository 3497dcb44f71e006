#include "aircraft/aircraft_cfg_reader.h"

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <shared_mutex>

#include <fmt/format.h>

#include "aircraft/aircraft_database.h"
#include "aircraft/cfg_lines.h"
#include "aircraft/regcode_passes.h"
#include "aircraft/regcodes.h"
#include "aircraft/scan_reports.h"
#include "core/log.h"
#include "core/scan_tasks.h"
#include "core/strings.h"
#include "core/text_files.h"

namespace zeph {

namespace fs = std::filesystem;

std::set<std::string> scanTitleSet;
std::mutex scanTitleSetMutex;

LiveryData lf_makeLiveryRecord(std::uint32_t folderNumber, const std::string& airline,
                               const std::string& type, bool cargo, const std::string& title,
                               const std::string& atcid) {
    {
        std::lock_guard lock(scanTitleSetMutex);
        if (!scanTitleSet.insert(title).second) {
            return {};
        }
    }
    return LiveryData{airline, type, title, atcid, folderNumber, cargo};
}

bool lf_inNameList(const std::string& title) {
    const std::shared_lock lock(dontUseTitlesMutex);
    // A task given up at the end of its run must not read the titles that a later scan fills.
    return isScanTaskGivenUp() ||
           std::find(dontUseTitles.begin(), dontUseTitles.end(), title) != dontUseTitles.end();
}

bool lf_readLiveryFileLines(const fs::path& file, std::vector<std::string>& lines) {
    const TextCharset charset = gf_detectCharset(file);
    if (charset == TextCharset::NoneFound) {
        gf_logText(fmt::format("! No text encoding detected for {}", file.string()));
        return false;
    }
    lines.reserve(4096);
    if (!gf_readTextFileAs(charset, file, lines)) {
        gf_logText(fmt::format("! Failed reading {}", file.string()));
        return false;
    }
    return true;
}

std::list<ScanCandidate> lf_searchLiveriesinFile(int folderNumber, const fs::path& file) {
    try {
        std::error_code error;
        if (!fs::exists(file, error)) {
            return {};
        }
        const fs::path aircraftFolder = file.parent_path();
        std::vector<std::string> lines;
        if (!lf_readLiveryFileLines(file, lines) || !lf_checkFltSimNumbers(lines, file)) {
            return {};
        }
        const std::string type = lf_fixMissingAtcModel(file, lines);
        if (type.empty()) {
            return {};
        }
        const WinFolder listing(aircraftFolder, error);
        if (error) {
            throw fs::filesystem_error("status", aircraftFolder, error);
        }
        return lf_procesFltSimSections(folderNumber, lines, type, file, aircraftFolder, listing);
    } catch (const std::exception& e) {
        gf_logText(fmt::format("! Exception in lf_searchLiveriesinFile {}: {}", file.string(), e.what()));
        throw;
    } catch (...) {
        gf_logText(fmt::format("! Unknown exception in lf_searchLiveriesinFile {}", file.string()));
        throw;
    }
}

bool lf_checkFltSimNumbers(const std::vector<std::string>& lines, const fs::path& file) {
    bool anyHeader = false;
    bool outOfRange = false;
    for (const std::string& line : lines) {
        const std::string number = lf_parseFltSimHeader(line);
        if (number.empty()) {
            continue;
        }
        std::int32_t value = 0;
        const char* first = number.data();
        const char* last = number.data() + number.size();
        const auto [end, error] = std::from_chars(first, last, value);
        if (error != std::errc() || end != last) {
            gf_logLine(fmt::format("fltsim num {} incorrect", line));
            return false;
        }
        anyHeader = true;
        outOfRange = outOfRange || value < 0 || value > 10000;
    }
    if (!anyHeader) {
        lf_addReportLine(emptyFileReport, file.string());
        return true;
    }
    if (outOfRange) {
        lf_addReportLine(
            invalidFileReport,
            fmt::format("{} contains a [fltsim.x] section with a number < 0 or > {}", file.string(), 10000));
        return false;
    }
    return true;
}

std::string lf_fixMissingAtcModel(const fs::path& file, const std::vector<std::string>& lines) {
    std::string model;
    for (const std::string& line : lines) {
        model = lf_readAtcModel(line);
        if (!model.empty()) {
            break;
        }
    }
    if (model.empty()) {
        lf_addReportLine(invalidFileReport,
                         "Line atc_model= is missing in [General] section of " + file.string());
        return {};
    }
    if (aircraftTypes.contains(model)) {
        return model;
    }
    if (const auto fix = typeFixes.find(model); fix != typeFixes.end()) {
        lf_addReportLine(fixesReport, fmt::format("Model fix: {} found in {} changed into {}", model,
                                                  file.string(), fix->second));
        return fix->second;
    }
    lf_addReportEntry(model, file.string());
    return {};
}

namespace {

// A line that opens another section ends the one before it.
bool opensOtherSection(const std::string& line) { return !line.empty() && line.find('[') < 6; }

} // namespace

std::list<ScanCandidate> lf_procesFltSimSections(int folderNumber, const std::vector<std::string>& lines,
                                                 const std::string& type, const fs::path& file,
                                                 const fs::path& aircraftFolder, const WinFolder& listing) {
    std::list<ScanCandidate> answer;
    for (std::vector<std::string>& section : lf_splitFltSimSections(lines, opensOtherSection)) {
        answer.splice(answer.end(),
                      lf_procesFltSimSection(folderNumber, section, type, file, aircraftFolder, listing));
    }
    return answer;
}

void lf_trimSectionTail(std::vector<std::string>& sectionLines) {
    while (!sectionLines.empty() && (sectionLines.back().empty() || sectionLines.back().starts_with("//"))) {
        sectionLines.pop_back();
    }
}

bool lf_liveryPathsExist(const fs::path& aircraftFolder, const WinFolder& listing, const std::string& model,
                         const std::string& sim, const std::string& texture) {
    auto resolve = [&](const std::string& relative) {
        std::error_code error;
        const WinKind kind = winResolve(listing, aircraftFolder, relative, error);
        if (error) {
            throw fs::filesystem_error("status", aircraftFolder / relative, error);
        }
        return kind;
    };
    return resolve("model." + model) == WinKind::directory &&
           resolve("texture." + texture) == WinKind::directory && resolve(sim + ".air") == WinKind::regular;
}

namespace {

// The values of one section while it is read.
struct SectionValues {
    std::string title, airline, types, atcid, model, sim, texture;
};

// Reads one line into the first key that takes it; false when the line repeats a key that ends the section.
bool readSectionLine(const std::string& line, SectionValues& v, const std::string& folder,
                     const std::string& file, const std::string& header, bool& dropped) {
    std::string value;
    if (v.title.empty() && lf_readTitle(line, value)) {
        v.title = gf_trim(value);
        return true;
    }
    if (!v.title.empty() && lf_readTitle(line, value)) {
        lf_addReportLine(incompleteSectionReport,
                         fmt::format("{} {} has more than one title key", folder, header));
        return false;
    }
    if (v.airline.empty() && lf_readAtcParkingCodes(line, value)) {
        gf_removeBlanksInCommaList(value);
        if (value.size() == 4 && (value[3] == 'X' || value[3] == 'C')) {
            value.resize(3);
        }
        if (airlineCodes.contains(value)) {
            v.airline = value;
        } else if (value == "RFO") {
            dropped = true;
            return false;
        } else {
            lf_addReportEntry(value, file, header);
        }
        return true;
    }
    if (!v.airline.empty() && lf_hasAtcParkingCodesKey(line)) {
        lf_addReportLine(incompleteSectionReport,
                         fmt::format("{} {} has more than one atc_parking_codes key", folder, header));
        return false;
    }
    if (v.types.empty() && lf_readAtcParkingTypes(line, value)) {
        gf_removeBlanksInCommaList(value);
        std::transform(value.begin(), value.end(), value.begin(),
                       [](unsigned char c) { return static_cast<char>(gf_toUpperChar(c)); });
        v.types = value;
        return true;
    }
    if (!v.types.empty() && lf_hasAtcParkingTypesKey(line)) {
        lf_addReportLine(incompleteSectionReport,
                         fmt::format("{} {} has more than one atc_parking_types key", folder, header));
        return false;
    }
    if (v.atcid.empty() && lf_readAtcId(line, value)) {
        value = value.substr(0, value.find(';'));
        std::string atcid;
        if (lf_validateAtcId(value, atcid)) {
            v.atcid = atcid;
        } else {
            lf_addReportLine(incompleteSectionReport,
                             fmt::format("invalid atc_id={} in: {}", value, v.title));
        }
        return true;
    }
    if (!v.atcid.empty() && lf_hasAtcIdKey(line)) {
        lf_addReportLine(incompleteSectionReport,
                         fmt::format("{}, {}, has more than one atc_id key", folder, header));
        return false;
    }
    if (v.model.empty() && lf_readModel(line, value)) {
        v.model = value;
    } else if (v.sim.empty() && lf_readSim(line, value)) {
        v.sim = value;
    } else if (v.texture.empty() && lf_readTexture(line, value)) {
        v.texture = value;
    }
    return true;
}

} // namespace

std::list<ScanCandidate> lf_procesFltSimSection(int folderNumber, std::vector<std::string>& sectionLines,
                                                const std::string& type, const fs::path& file,
                                                const fs::path& aircraftFolder, const WinFolder& listing) {
    try {
        lf_trimSectionTail(sectionLines);
        if (sectionLines.empty()) {
            return {};
        }
        const std::string folder = aircraftFolder.string();
        const std::string fileText = file.string();
        const std::string& header = sectionLines.front();
        SectionValues v;
        bool dropped = false;
        for (const std::string& line : sectionLines) {
            if (!readSectionLine(line, v, folder, fileText, header, dropped)) {
                dropped = true;
                break;
            }
        }
        if (v.airline.empty()) {
            lf_addReportLine(
                incompleteSectionReport,
                fmt::format("{} {} icao_airline is missing, or it has invalid info ", fileText, header));
        }
        if (dropped) {
            return {};
        }
        if (!lf_liveryPathsExist(aircraftFolder, listing, v.model, v.sim, v.texture)) {
            lf_addReportLine(incompleteSectionReport,
                             fmt::format("{} or related path does not exist: {}",
                                         (aircraftFolder / ("model." + v.model)).string(), header));
            return {};
        }
        if (v.title.empty()) {
            lf_addReportLine(incompleteSectionReport, fmt::format("{} {} misses title", folder, header));
            return {};
        }
        if (lf_inNameList(v.title)) {
            return {};
        }
        if (v.airline == "ZZZ") {
            v.atcid.clear();
        }
        const bool heavy = gf_categoryOfType(type) == 3;
        if (v.airline.empty()) {
            if (v.atcid.empty()) {
                if (heavy) {
                    lf_addReportLine(
                        incompleteSectionReport,
                        fmt::format("'{}' '{}' has no airline and no regcode info", folder, header));
                    return {};
                }
                v.airline = "PVT";
                v.atcid = lf_findRegcodeInText(v.title).value_or("");
            } else if (const auto info = gf_lookupRegcode(v.atcid)) {
                v.airline = info->airl;
            } else if (heavy) {
                lf_addReportLine(
                    incompleteSectionReport,
                    fmt::format("'{}' '{}' has no airline and regcode not in dbase", folder, header));
                return {};
            } else {
                v.airline = "PVT";
            }
        }
        const bool cargo = v.types.find("CARGO") != std::string::npos;
        std::list<ScanCandidate> answer;
        answer.push_back(ScanCandidate{
            LiveryData{v.airline, type, v.title, v.atcid, static_cast<std::uint32_t>(folderNumber), cargo},
            fmt::format("{} {} title '{}' already exists", folder, header, v.title)});
        return answer;
    } catch (const std::exception& e) {
        gf_logText(fmt::format("Exception in lf_procesFltSimSection: {}, file: {}", e.what(), file.string()));
        throw;
    }
}

bool lf_validateAtcId(const std::string& value, std::string& out) {
    const std::vector<std::string> items = gf_split(value, ',');
    if (items.empty()) {
        return false;
    }
    for (const std::string& item : items) {
        if (item.empty() || item.size() > 12 || item.find('*') != std::string::npos) {
            return false;
        }
    }
    out = items.size() == 1 ? items.front() : std::string();
    return true;
}

} // namespace zeph
