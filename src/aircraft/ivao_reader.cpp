#include "aircraft/ivao_reader.h"

#include <array>
#include <string_view>
#include <utility>

#include <fmt/format.h>

#include "aircraft/aircraft_database.h"
#include "aircraft/cfg_lines.h"
#include "aircraft/regcodes.h"
#include "aircraft/scan_reports.h"
#include "core/log.h"
#include "core/strings.h"

namespace zeph {

namespace fs = std::filesystem;

namespace {

// Variant codes of IVAO folders and the type each stands for.
constexpr std::array<std::pair<std::string_view, std::string_view>, 9> ivaoVariants{{
    {"B744F", "B744"},
    {"T154M", "T154"},
    {"T154B2", "T154"},
    {"GLID_SH", "GLID"},
    {"GLID_A13", "GLID"},
    {"GLID_A25", "GLID"},
    {"GLID_KA6", "GLID"},
    {"GLID_KA8", "GLID"},
    {"GLID_L13", "GLID"},
}};

std::string baseCode(std::string code) {
    if (!code.empty() && code.back() == 'w') {
        code.pop_back();
        return code;
    }
    for (const auto& [variant, type] : ivaoVariants) {
        if (code == variant) {
            return std::string(type);
        }
    }
    return code;
}

void addIncomplete(std::string text) { lf_addReportLine(incompleteSectionReport, std::move(text)); }

} // namespace

std::string lf_fixIvaoModels(const fs::path& file) {
    const std::string path = file.string();
    const auto match = lf_matchIvaoPath(path);
    if (!match) {
        lf_addReportEntry("  ", path);
        return {};
    }
    const std::string code = baseCode(std::string(*match));
    if (aircraftTypes.contains(code)) {
        return code;
    }
    if (const auto fix = typeFixes.find(code); fix != typeFixes.end()) {
        lf_addReportLine(fixesReport,
                         fmt::format("Model fix: {} found in {} changed into {}", code, path, fix->second));
        return fix->second;
    }
    lf_addReportEntry(code, path);
    return {};
}

std::list<ScanCandidate> lf_searchLiveriesinIVAOFile(int folderNumber, const fs::path& file) {
    try {
        const std::string type = lf_fixIvaoModels(file);
        if (type.empty()) {
            return {};
        }
        const fs::path aircraftFolder = file.parent_path();
        std::vector<std::string> lines;
        if (!lf_readLiveryFileLines(file, lines) || !lf_checkFltSimNumbers(lines, file)) {
            return {};
        }
        std::error_code error;
        const WinFolder listing(aircraftFolder, error);
        if (error) {
            throw fs::filesystem_error("status", aircraftFolder, error);
        }
        return lf_procesIVAOFltSimSections(folderNumber, lines, type, file, aircraftFolder, listing);
    } catch (const std::exception& e) {
        gf_logText(fmt::format("! Exception in lf_searchLiveriesinIVAOFile {}: {}", file.string(), e.what()));
        throw;
    } catch (...) {
        gf_logText(fmt::format("! Unknown exception in lf_searchLiveriesinIVAOFile {}", file.string()));
        throw;
    }
}

namespace {

// A line that opens another section ends the one before it.
bool opensOtherIvaoSection(const std::string& line) { return line.find('[') != std::string::npos; }

} // namespace

std::list<ScanCandidate> lf_procesIVAOFltSimSections(int folderNumber, const std::vector<std::string>& lines,
                                                     const std::string& type, const fs::path& file,
                                                     const fs::path& aircraftFolder,
                                                     const WinFolder& listing) {
    std::list<ScanCandidate> answer;
    for (std::vector<std::string>& section : lf_splitFltSimSections(lines, opensOtherIvaoSection)) {
        answer.splice(answer.end(),
                      lf_procesIVAOFltSimSection(folderNumber, section, type, file, aircraftFolder, listing));
    }
    return answer;
}

std::list<ScanCandidate> lf_procesIVAOFltSimSection(int folderNumber, std::vector<std::string>& sectionLines,
                                                    const std::string& type, const fs::path& file,
                                                    const fs::path& aircraftFolder,
                                                    const WinFolder& listing) {
    lf_trimSectionTail(sectionLines);
    if (sectionLines.empty()) {
        return {};
    }
    const std::string folder = aircraftFolder.string();
    const std::string& header = sectionLines.front();
    std::string title, types, atcid, model, sim, texture, value;
    bool hasTypes = false;
    bool hasAtcId = false;
    // A key is read by its key reader (any case, blanks around '='); once read, a line that merely holds the
    // key's text repeats it.
    for (const std::string& line : sectionLines) {
        if (lf_readTitle(line, value)) {
            if (!title.empty()) {
                addIncomplete(fmt::format("{} {} has more than one title key", folder, header));
                return {};
            }
            title = value;
        } else if (!hasTypes && lf_readAtcParkingTypes(line, value)) {
            hasTypes = true;
        } else if (hasTypes && lf_hasAtcParkingTypesKey(line)) {
            addIncomplete(fmt::format("{} {} has more than one atc_parking_types key", folder, header));
            return {};
        } else if (!hasAtcId && lf_readAtcId(line, value)) {
            hasAtcId = true;
            if (!lf_validateAtcId(value, atcid)) {
                addIncomplete(fmt::format("invalid atc_id={} in {}", value, title));
                atcid.clear();
            }
        } else if (hasAtcId && lf_hasAtcIdKey(line)) {
            addIncomplete(fmt::format("{}, {}, has more than one atc_id key", folder, header));
            return {};
        } else if (model.empty() && lf_readModel(line, value)) {
            model = value;
        } else if (sim.empty() && lf_readSim(line, value)) {
            sim = value;
        } else if (texture.empty() && lf_readTexture(line, value)) {
            texture = value;
        }
    }
    std::error_code error;
    const std::pair<std::string, WinKind> checks[] = {{"model." + model, WinKind::directory},
                                                      {sim + ".air", WinKind::regular},
                                                      {"texture." + texture, WinKind::directory}};
    for (const auto& [relative, kind] : checks) {
        if (winResolve(listing, aircraftFolder, relative, error) != kind) {
            if (error) {
                throw fs::filesystem_error("status", aircraftFolder / relative, error);
            }
            addIncomplete(fmt::format("{} {} does not exist", (aircraftFolder / relative).string(), header));
            return {};
        }
    }
    if (title.empty()) {
        addIncomplete(fmt::format("{} {} misses title", folder, header));
        return {};
    }
    if (lf_inNameList(title)) {
        return {};
    }
    std::string airline;
    if (const auto code = lf_matchIvaoTitle(title, type)) {
        airline = std::string(*code);
        if (!airlineCodes.contains(airline)) {
            lf_addReportEntry(airline, file.string(), header);
            return {};
        }
        if (airline == "ZZZ") {
            atcid.clear();
        }
    } else if (atcid.empty()) {
        addIncomplete(
            fmt::format("{} {} misses airlinecode in title: {}, and no regcode", folder, header, title));
        return {};
    } else if (const auto info = gf_lookupRegcode(atcid)) {
        airline = info->airl;
    } else {
        addIncomplete(fmt::format("{} {} misses airlinecode in title: {}, and regcode unknown {}", folder,
                                  header, title, atcid));
        return {};
    }
    std::list<ScanCandidate> answer;
    answer.push_back(ScanCandidate{
        LiveryData{airline, type, title, atcid, static_cast<std::uint32_t>(folderNumber), false},
        fmt::format("{} {} title already exists: {}", folder, header, title)});
    return answer;
}

} // namespace zeph
