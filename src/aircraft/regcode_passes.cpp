#include "aircraft/regcode_passes.h"

#include <exception>

#include <fmt/format.h>

#include "aircraft/data_file_crypto.h"
#include "aircraft/livery_scan.h"
#include "aircraft/matching_tables.h"
#include "core/files.h"
#include "core/log.h"
#include "core/strings.h"
#include "core/text_files.h"
#include "model/flight_texts.h"
#include "settings/data_tree.h"
#include "state/status_line.h"

namespace zeph {

std::unordered_map<std::string, std::string_view, Fnv1aHash, std::equal_to<>> regcodeTitleTable;
std::set<std::string> specialRegcodes;
std::set<std::string> uniqueRegcodes;
std::vector<std::string_view> specialTitles;
std::vector<std::string> dontUseTitles;
std::shared_mutex dontUseTitlesMutex;
std::vector<std::string> offlineRegcodeReport;

namespace {

// The don't-use errors reach the log as well: the report they are appended to is cleared before it is
// written.
void reportDontUseError(const std::string& line) {
    offlineRegcodeReport.push_back(line);
    gf_logLine(line);
}

std::size_t appendDontUseTitles(const std::list<RegcodeLivery>& records) {
    std::size_t added = 0;
    const std::lock_guard lock(dontUseTitlesMutex);
    for (const RegcodeLivery& record : records) {
        if (record.regs.empty()) {
            dontUseTitles.push_back(record.title);
            ++added;
        }
    }
    return added;
}

bool folderHasFiles(const std::filesystem::path& folder) { return gf_countFilesInDirectory(folder) > 0; }

// Writes a report over its file (the old one stays until the new one is whole), making its folder first.
// False after one line "! could not write <file>": the caller then announces nothing.
bool writeRegcodeReport(const std::vector<std::string>& lines, const std::filesystem::path& file) {
    std::error_code error;
    std::filesystem::create_directories(file.parent_path(), error);
    if (gf_writeLinesToFile(lines, file)) {
        return true;
    }
    gf_logText(fmt::format("! could not write {}", file.string()));
    return false;
}

} // namespace

std::filesystem::path inlineRegcodesFile() { return errorsDir / "InlineRegcodes.txt"; }

std::filesystem::path offlineRegcodesFile() { return infoDir / "OfflineRegcodes.txt"; }

void lf_readDontUseTitles() {
    std::list<RegcodeLivery> records;
    if (!lf_readAIGregcodes(records)) {
        reportDontUseError(fmt::format("There were errors in processing the file '{}', see the Log.txt",
                                       aigRegcodesXmlFile.string()));
    }
    const std::size_t added = appendDontUseTitles(records);
    gf_logText(fmt::format("{} don't use title{} read", added, gf_plural(added)));
}

void lf_readDontUseTitleFolder() {
    std::list<RegcodeLivery> records;
    if (!lf_processRegcodeFiles(myRegcodesDir, records)) {
        reportDontUseError(
            fmt::format("There were errors in processing the regcode files in folder '{}', see the Log.txt",
                        myRegcodesDir.string()));
    }
    const std::size_t added = appendDontUseTitles(records);
    gf_logText(fmt::format("{} don't use title{} read from files in {}", added, gf_plural(added),
                           myRegcodesDir.string()));
}

void lf_checkInlineRegcodes() {
    std::vector<std::string> clashes;
    for (const LiveryData& livery : scannedLiveries) {
        if (livery.atcid.empty()) {
            continue;
        }
        const std::string_view title = lf_findInstalledTitle(livery.title);
        if (title.empty()) {
            clashes.push_back(fmt::format("==> [{}] {} '{}' not available, system error, should not happen?",
                                          gf_airlineTypeKey(livery.airl, livery.type), livery.atcid,
                                          livery.title));
            continue;
        }
        const auto [entry, entered] = regcodeTitleTable.try_emplace(livery.atcid, title);
        if (!entered && entry->second != title) {
            clashes.push_back(
                fmt::format("{} '{}' => already in use by '{}'", livery.atcid, title, entry->second));
        }
    }
    if (!clashes.empty() && writeRegcodeReport(clashes, inlineRegcodesFile())) {
        gf_logText(fmt::format("{} in-line regcode clashes, see '{}'", clashes.size(),
                               inlineRegcodesFile().string()));
    }
}

void lf_mergeRegcodes(std::list<RegcodeLivery> records) {
    int added = 0;
    int replaced = 0;
    int special = 0;
    for (const RegcodeLivery& record : records) {
        const std::string_view title = lf_findInstalledTitle(record.title);
        if (title.empty()) {
            continue;
        }
        for (const std::string& code : record.regs) {
            const auto [entry, entered] = regcodeTitleTable.try_emplace(code, title);
            if (entered) {
                ++added;
            } else if (entry->second != title) {
                offlineRegcodeReport.push_back(fmt::format(
                    "   regcode {} for '{}', instead of the same for '{}'", code, title, entry->second));
                entry->second = title;
                ++replaced;
            }
            if (record.special) {
                specialRegcodes.insert(code);
                if (record.regs.size() == 1) {
                    uniqueRegcodes.insert(code);
                }
            }
        }
        if (record.special) {
            specialTitles.push_back(title);
            ++special;
        }
    }
    std::string summary = fmt::format("{} new regcode{} added", added, gf_plural(added));
    if (replaced > 0) {
        summary += fmt::format(", {} regcode{} replaced", replaced, gf_plural(replaced));
    }
    if (special > 0) {
        summary += fmt::format(", {} regcode{} defined as special", special, gf_plural(special));
    }
    offlineRegcodeReport.push_back(std::move(summary));
}

void lf_processAIGregcodeFile() {
    offlineRegcodeReport.push_back(fmt::format("Processing file {}", aigRegcodesXmlFile.string()));
    std::list<RegcodeLivery> records;
    if (!lf_readAIGregcodes(records)) {
        offlineRegcodeReport.push_back(
            fmt::format("There were errors processing the AIG-regcode file '{}', see Log.txt",
                        aigRegcodesXmlFile.string()));
    }
    lf_mergeRegcodes(std::move(records));
}

void lf_processRegcodeFolder() {
    if (!folderHasFiles(myRegcodesDir)) {
        return;
    }
    offlineRegcodeReport.push_back(fmt::format("Processing files in {}", myRegcodesDir.string()));
    std::list<RegcodeLivery> records;
    if (!lf_processRegcodeFiles(myRegcodesDir, records)) {
        gf_setStatus(fmt::format("There were errors processing the regcode files in folder '{}', see Log.txt",
                                 myRegcodesDir.string()),
                     true);
    }
    lf_mergeRegcodes(std::move(records));
}

void lf_processOfflineRegcodes() {
    try {
        offlineRegcodeReport.clear();
        {
            const ScopedPlainFile plain(aigRegcodesXmlFile);
            if (gf_streamDecrypt(aigRegcodesEncFile, aigRegcodesXmlFile)) {
                lf_processAIGregcodeFile();
            } else {
                // A damaged AIG file must not cost the user's own files their effect.
                gf_logText(fmt::format("! {} could not be decrypted, AIG registration codes skipped",
                                       aigRegcodesEncFile.string()));
            }
        }
        lf_processRegcodeFolder();
        if (offlineRegcodeReport.empty()) {
            gf_removeFile(offlineRegcodesFile());
            return;
        }
        if (writeRegcodeReport(offlineRegcodeReport, offlineRegcodesFile())) {
            gf_logText(fmt::format("Offline regcode files processed, results can be found in '{}'",
                                   offlineRegcodesFile().string()));
        }
        if (!specialTitles.empty()) {
            gf_logText(fmt::format("{} special liveries", specialTitles.size()));
        }
        if (!uniqueRegcodes.empty()) {
            gf_logText(fmt::format("{} unique liveries", uniqueRegcodes.size()));
        }
    } catch (const std::exception& error) {
        gf_logLine(fmt::format("exception: {}", error.what()));
    }
}

} // namespace zeph
