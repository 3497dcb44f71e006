#include "airports/addon_airport_files.h"

#include <algorithm>
#include <cctype>
#include <set>

#include <fmt/format.h>

#include "aircraft/aircraft_database.h"
#include "airports/airport_database.h"
#include "airports/airport_file_locator.h"
#include "airports/scan_log.h"
#include "core/program.h"
#include "core/text_convert.h"
#include "core/text_files.h"
#include "settings/data_tree.h"
#include "settings/xml_parameters.h"

namespace zeph {

namespace fs = std::filesystem;

std::mutex linkMutex;
std::atomic<bool> scanChangedFiles{false};

namespace {

const std::string kSimaddon = "simaddon";

std::mutex generatedMutex;
std::set<std::string> generatedThirdpartyCodes;

bool hasExtensionNoCase(const fs::path& file, std::string_view extension) {
    const std::string text = file.extension().string();
    return text.size() == extension.size() &&
           std::equal(text.begin(), text.end(), extension.begin(),
                      [](char a, char b) { return std::tolower(static_cast<unsigned char>(a)) == b; });
}

// A file of the user's own is never replaced: a false here skips the write. Anything else in its place
// (a folder) cannot be replaced either, and the write reports that.
bool mayWrite(const fs::path& file, std::string_view what) {
    std::error_code error;
    const fs::file_status status = fs::symlink_status(file, error);
    if (!(fs::is_regular_file(status) || fs::is_symlink(status)) || lf_isScanMadeFile(file)) {
        return true;
    }
    gf_addScanLogLine(
        fmt::format("===> {} {} skipped: a file not made by an airport scan is there", what, file.string()));
    return false;
}

bool writeLink(const ApfData& airport, const fs::path& folder, const std::string& reference) {
    const fs::path file = folder / lf_withTxtExtension(airport.code);
    if (!mayWrite(file, "Linking")) {
        return false;
    }
    std::error_code error;
    fs::create_directories(folder, error);
    if (!gf_writeFile(reference, file)) {
        gf_addScanLogLine(fmt::format("===> Linking {} did not succeed", file.string()));
        return false;
    }
    scanChangedFiles = true;
    return true;
}

} // namespace

bool lf_isScanMadeFile(const fs::path& file) {
    std::error_code error;
    if (!fs::is_regular_file(file, error)) {
        return false;
    }
    if (hasExtensionNoCase(file, ".txt")) {
        std::string reference;
        return lf_readLinkFile(file, reference) && reference.starts_with("archive/");
    }
    if (hasExtensionNoCase(file, ".xml")) {
        pugi::xml_document doc;
        return doc.load_file(file.c_str()) && findParameterElement(doc, "num_parkpos");
    }
    return false;
}

void lf_removeScanMadeFiles(const fs::path& folder) {
    std::error_code error;
    for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
        const fs::path& path = it->path();
        std::error_code removeError;
        if (!lf_isScanMadeFile(path)) {
            gf_addScanLogLine(fmt::format("===> {} kept: not made by an airport scan", path.string()));
        } else if (!fs::remove(path, removeError)) {
            gf_addScanLogLine(fmt::format("===> {} not removed: {}", path.string(), removeError.message()));
        }
    }
}

std::optional<std::string> lf_findSimaddonArchive(const std::string& code) {
    if (simAddonAirports.contains(code)) {
        return fmt::format("archive/{}/{}.xml", kSimaddon, code);
    }
    gf_addScanLogLine(fmt::format("{} does not exist as simaddon", code));
    return std::nullopt;
}

std::optional<std::string> lf_findThirdpartyArchive(const std::string& publisher, const std::string& code,
                                                    std::uint32_t& archivedStands) {
    std::string escaped;
    for (const char c : publisher) {
        escaped += c == ' ' ? std::string("%20") : std::string(1, c);
    }
    for (const ThirdPartyAirport& entry : thirdPartyAirports) {
        if (entry.publisher != publisher) {
            continue;
        }
        int stands = static_cast<int>(archivedStands);
        if (std::any_of(entry.airports.begin(), entry.airports.end(),
                        ThirdpartyEntryMatch{publisher, code, stands})) {
            archivedStands = static_cast<std::uint32_t>(std::max(stands, 0));
            return fmt::format("archive/thirdparty/{}/{}.xml", escaped, code);
        }
    }
    gf_addScanLogLine(fmt::format("thirdparty {} {} does not exist", publisher, code));
    return std::nullopt;
}

bool lf_linkAirport(ApfData& airport, std::uint32_t& archivedStands, const fs::path& bglFile) {
    const std::lock_guard lock(linkMutex);
    archivedStands = 0;
    airport.bglPath = gf_path2s(bglFile);
    airport.publisher = lf_publisherFromFilename(bglFile);
    if (airport.publisher.empty()) {
        return false;
    }
    if (airport.publisher == kSimaddon) {
        const std::optional<std::string> reference = lf_findSimaddonArchive(airport.code);
        if (!reference || !writeLink(airport, myOrbxDir, *reference)) {
            return false;
        }
        gf_addScanLogLine(fmt::format("{} airport {} linked to {}", kSimaddon, airport.code, *reference));
        return true;
    }
    const std::optional<std::string> reference =
        lf_findThirdpartyArchive(airport.publisher, airport.code, archivedStands);
    if (!reference || !writeLink(airport, myThirdpartyDir, *reference)) {
        return false;
    }
    gf_addScanLogLine(fmt::format("thirdparty airport {} linked to {}", airport.code, *reference));
    return true;
}

void lf_generateAirportFile(ApfData& airport, const std::uint32_t& helipadCounter) {
    if (airport.stands.empty()) {
        return;
    }
    const bool simaddon = airport.publisher == kSimaddon;
    const fs::path file = (simaddon ? myOrbxDir : myThirdpartyDir) / lf_withXmlExtension(airport.code);
    const std::size_t count = airport.stands.size();
    std::string helipads;
    if (helipadCounter >= 2) {
        helipads = fmt::format(", of which {} helipad{}", helipadCounter - 1, helipadCounter == 2 ? "" : "s");
    }
    gf_addScanLogLine(fmt::format("Generated {}.xml: {} position{}{}", airport.code, count,
                                  count == 1 ? "" : "s", helipads));
    if (!mayWrite(file, "Generating")) {
        return;
    }
    std::sort(airport.stands.begin(), airport.stands.end(),
              [](const ParkPos& a, const ParkPos& b) { return a.id < b.id; });
    fs::create_directories(file.parent_path());
    if (!gf_writeApf(airport, file, 1, simulatorKind.load())) {
        gf_addScanLogLine(fmt::format("===> Generating {} did not succeed", file.string()));
        return;
    }
    scanChangedFiles = true;
    if (!simaddon) {
        const std::lock_guard lock(generatedMutex);
        generatedThirdpartyCodes.insert(airport.code);
    }
}

std::vector<std::string> lf_takeGeneratedThirdpartyCodes() {
    const std::lock_guard lock(generatedMutex);
    std::vector<std::string> codes(generatedThirdpartyCodes.begin(), generatedThirdpartyCodes.end());
    generatedThirdpartyCodes.clear();
    return codes;
}

} // namespace zeph
