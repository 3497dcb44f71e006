#include "update/version_check.h"

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <limits>
#include <string>
#include <system_error>

#include <fmt/format.h>

#include "core/log.h"
#include "core/run_flags.h"
#include "settings/control_sink.h"
#include "settings/data_tree.h"
#include "settings/parameter_table.h"
#include "state/main_window_state.h"
#include "update/curl_handle.h"
#include "update/download_config.h"
#include "update/downloader.h"
#include "update/program_update.h"

namespace zeph {

namespace fs = std::filesystem;

namespace {

bool fileExists(const fs::path& file) {
    std::error_code error;
    return fs::exists(file, error);
}

// A negative field is no version: its text ("2.-1.0") would not read back as itself but as 0.0.0, so the
// section would count as newer at every start.
std::optional<std::int32_t> versionField(const nlohmann::json& section, const char* name) {
    const auto field = section.find(name);
    if (field == section.end() || !field->is_number_integer()) {
        return std::nullopt;
    }
    constexpr std::int64_t low = 0;
    constexpr std::int64_t high = std::numeric_limits<std::int32_t>::max();
    if (field->is_number_unsigned()) {
        const auto value = field->get<std::uint64_t>();
        return value <= static_cast<std::uint64_t>(high) ? std::optional(static_cast<std::int32_t>(value))
                                                         : std::nullopt;
    }
    const auto value = field->get<std::int64_t>();
    return value >= low && value <= high ? std::optional(static_cast<std::int32_t>(value)) : std::nullopt;
}

// versions.json fetched, read and removed; nothing when it could not be fetched or opened.
std::optional<nlohmann::json> fetchVersions() {
    const CurlHandle handle = lf_newCurlHandle();
    if (!gf_downloadFile(handle.get(), downloadConfig().baseUrl + "versions.json", versionsJsonFile, false,
                         ContentCheck::JsonObject)) {
        // A download that the stop refused has logged so itself: the site did not fail.
        if (!runIsStopping()) {
            gf_logLine("Downloading version info from my web site failed!");
        }
        return std::nullopt;
    }
    std::string text;
    {
        std::ifstream in(versionsJsonFile, std::ios::binary);
        if (!in) {
            gf_logLine("Cannot open versions.json");
            return std::nullopt;
        }
        text.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    std::error_code error;
    fs::remove(versionsJsonFile, error);
    if (error) {
        gf_logText(fmt::format("Warning: could not remove versions.json: {}", error.message()));
    }
    return nlohmann::json::parse(text, nullptr, false);
}

void checkProgram(const Version& web, bool& updatePrepared) {
    gf_logText(fmt::format("{} program version at web = {}", "p3d", gf_versionText(web)));
    if (web > programVersion) {
        updatePrepared = lf_runProgramUpdate(web);
    } else {
        lf_logUpToDate("p3d");
    }
}

void checkDataFile(std::string_view section, const Version& web, StringParameter& installed,
                   const fs::path& localFile, ContentCheck kind) {
    if (web > gf_parseVersion(installed.get()) || !fileExists(localFile)) {
        if (gf_downloadFromSite(localFile.filename().string(), localFile, kind)) {
            installed.set(gf_versionText(web));
            lf_logUpdated(section, web);
        }
    } else {
        lf_logUpToDate(section);
    }
}

// The scan runs later in this start-up; its version is recorded now.
void tickScan(std::string_view section, const Version& web, CheckBoxParameter& box,
              StringParameter& installed) {
    box.set(true);
    controlSink().setCheck(box);
    mainWindowState.invalidateArea(settingsArea);
    installed.set(gf_versionText(web));
    lf_logUpdated(section, web);
}

} // namespace

void lf_logUpdated(std::string_view section, const Version& version) {
    gf_logText(fmt::format("{} updated to {}", section, gf_versionText(version)));
}

void lf_logUpToDate(std::string_view section) { gf_logText(fmt::format("{} version up-to-date", section)); }

void lf_logVersionNotFound(std::string_view section) {
    gf_logLine(fmt::format("{} version not found", section));
}

std::optional<Version> lf_webVersion(const nlohmann::json& versions, std::string_view section) {
    if (!versions.is_object()) {
        return std::nullopt;
    }
    const auto found = versions.find(std::string(section));
    if (found == versions.end() || !found->is_object()) {
        return std::nullopt;
    }
    const auto major = versionField(*found, "major");
    const auto minor = versionField(*found, "minor");
    const auto patch = versionField(*found, "patch");
    if (!major || !minor || !patch) {
        return std::nullopt;
    }
    return Version{*major, *minor, *patch};
}

bool gf_checkVersions() {
    const std::optional<nlohmann::json> versions = fetchVersions();
    if (!versions) {
        return true;
    }
    for (const std::string_view section : {"p3d", "airports", "aig", "liveries", "addons", "dbase"}) {
        // A run that is ending downloads and records nothing more.
        if (runIsStopping()) {
            break;
        }
        const std::optional<Version> web = lf_webVersion(*versions, section);
        if (!web) {
            lf_logVersionNotFound(section);
            continue;
        }
        if (section == "p3d") {
            bool updatePrepared = false;
            checkProgram(*web, updatePrepared);
            if (updatePrepared) {
                return false;
            }
        } else if (section == "airports") {
            checkDataFile(section, *web, AIRPORTS_VERSION, airportsEncFile, ContentCheck::SealedAirports);
        } else if (section == "aig") {
            checkDataFile(section, *web, AIG_VERSION, aigRegcodesEncFile, ContentCheck::SealedAigRegcodes);
        } else if (section == "dbase") {
            checkDataFile(section, *web, DBASE_VERSION, dbaseEncFile, ContentCheck::SealedDbase);
        } else if (section == "liveries") {
            if (*web > gf_parseVersion(LIV_SCAN_VERSION.get()) || !fileExists(liveriesScannedFile)) {
                tickScan(section, *web, SCAN_LIVERIES, LIV_SCAN_VERSION);
            } else {
                lf_logUpToDate(section);
            }
        } else if (*web > gf_parseVersion(ADDONS_SCAN_VERSION.get())) {
            tickScan(section, *web, SCAN_AIRPORTS, ADDONS_SCAN_VERSION);
        } else {
            lf_logUpToDate(section);
        }
    }
    return true;
}

} // namespace zeph
