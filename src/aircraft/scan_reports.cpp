#include "aircraft/scan_reports.h"

#include <algorithm>
#include <iterator>
#include <stdexcept>
#include <vector>

#include <fmt/format.h>

#include "aircraft/data_file_crypto.h"
#include "aircraft/livery_scan.h"
#include "aircraft/regcode_passes.h"
#include "aircraft/regcodes.h"
#include "core/atomic_file.h"
#include "core/files.h"
#include "core/log.h"
#include "core/scan_tasks.h"
#include "core/strings.h"
#include "core/text_files.h"
#include "settings/data_tree.h"

namespace zeph {

namespace fs = std::filesystem;

ReportList<std::list<std::string>> invalidAirlineReport;
ReportList<std::list<std::string>> invalidTypeReport;
ReportList<std::vector<std::string>> fixesReport;
ReportList<std::list<std::string>> invalidFileReport;
ReportList<std::list<std::string>> incompleteSectionReport;
ReportList<std::list<std::string>> emptyFileReport;
ReportList<std::vector<std::string>> conversionReport;

namespace {

template <typename Container> void addLine(ReportList<Container>& list, std::string text) {
    std::lock_guard lock(list.mutex);
    if (isScanTaskGivenUp()) {
        return; // its scan has ended: the lines would go to a later scan's report
    }
    if (list.lines.size() >= list.lines.max_size()) {
        throw std::length_error("list too long");
    }
    list.lines.push_back(std::move(text));
}

template <typename Container> Container takeLines(ReportList<Container>& list) {
    std::lock_guard lock(list.mutex);
    return std::move(list.lines);
}

template <typename Container> void clearLines(ReportList<Container>& list) {
    std::lock_guard lock(list.mutex);
    list.lines.clear();
}

template <typename Container> bool isEmpty(ReportList<Container>& list) {
    std::lock_guard lock(list.mutex);
    return list.lines.empty();
}

// output/errors, created when missing; a failing query or creation throws.
void ensureErrorsFolder() {
    std::error_code error;
    const fs::file_status status = fs::status(errorsDir, error);
    if (error && error != std::errc::no_such_file_or_directory) {
        throw fs::filesystem_error("exists", errorsDir, error);
    }
    if (!fs::exists(status)) {
        if (!fs::create_directory(errorsDir, error) && error) {
            throw fs::filesystem_error("create_directory", errorsDir, error);
        }
    }
}

// The summary line, and the one that says the file it points at is not there.
void logWritten(bool written, const std::string& summary, const fs::path& file) {
    gf_logText(summary);
    if (!written) {
        gf_logText(fmt::format("! could not write {}", file.string()));
    }
}

void writeSortedList(ReportList<std::list<std::string>>& list, const fs::path& file, std::string_view what,
                     bool unique) {
    std::list<std::string> lines = takeLines(list);
    if (lines.empty()) {
        return;
    }
    const std::size_t count = lines.size();
    lines.sort();
    if (unique) {
        lines.unique();
    }
    ensureErrorsFolder();
    const bool written = gf_writeListToFile(lines, file);
    logWritten(written, fmt::format(fmt::runtime(what), count, gf_plural(count), file.string()), file);
}

} // namespace

void lf_addReportLine(ReportList<std::list<std::string>>& list, std::string text) {
    addLine(list, std::move(text));
}
void lf_addReportLine(ReportList<std::vector<std::string>>& list, std::string text) {
    addLine(list, std::move(text));
}

void lf_addReportEntry(std::string_view code, std::string_view file, std::string_view text) {
    addLine(invalidAirlineReport, fmt::format("{:12} in {} {}", code, file, text));
}

void lf_addReportEntry(std::string_view code, std::string_view file) {
    addLine(invalidTypeReport, fmt::format("{:16} in {}", code, file));
}

bool gf_writeListToFile(const std::list<std::string>& lines, const fs::path& file) {
    try {
        return writeFileAtomically(file, [&](std::ostream& out) {
            for (const std::string& line : lines) {
                out.write(line.data(), static_cast<std::streamsize>(line.size()));
                out.put('\n');
            }
            return static_cast<bool>(out);
        });
    } catch (const std::exception&) {
        return false;
    }
}

void lf_removePreviousScanFiles() {
    // LiveriesScanned.xml stays until the scan writes a new one whole: a scan that fails or keeps no livery
    // leaves the user the liveries of the last one. The conversions stay: they are the user's record of what
    // earlier scans changed.
    try {
        std::vector<fs::path> files;
        std::copy_if(livScanReportFiles.begin(), livScanReportFiles.end(), std::back_inserter(files),
                     [](const fs::path& file) { return file != conversionsReportFile; });
        for (const fs::path& file : files) {
            fs::remove(file);
        }
        if (fs::is_directory(errorsDir) && fs::is_empty(errorsDir)) {
            fs::remove(errorsDir);
        }
    } catch (const std::exception& e) {
        gf_logText(fmt::format("problems with removing previous files: {}", e.what()));
    }
}

void lf_readDontUseTitleSources() {
    try {
        {
            const ScopedPlainFile plain(aigRegcodesXmlFile);
            if (gf_streamDecrypt(aigRegcodesEncFile, plain.path())) {
                lf_readDontUseTitles();
            }
        }
        if (gf_countFilesInDirectory(myRegcodesDir) > 0) {
            lf_readDontUseTitleFolder();
        }
    } catch (const std::exception& e) {
        gf_logLine(fmt::format("exception: {}", e.what()));
    }
}

void lf_updateLiveriesFromDbase() {
    auto flag = [](bool value) { return value ? "true" : "false"; };
    for (LiveryData& livery : scannedLiveries) {
        if (livery.atcid.empty()) {
            continue;
        }
        const std::optional<RegcodeInfo> info = gf_lookupRegcode(livery.atcid);
        if (!info) {
            continue;
        }
        if (info->cargo != livery.cargo) {
            lf_addReportLine(conversionReport,
                             fmt::format("{:80} {} cargo {} => {}", livery.title, livery.atcid,
                                         flag(livery.cargo), flag(info->cargo)));
            livery.cargo = info->cargo;
        }
        const std::string& airline = info->opr.empty() ? info->airl : info->opr;
        if (airline != livery.airl) {
            lf_addReportLine(conversionReport, fmt::format("{:80} {} airl {} => {}", livery.title,
                                                           livery.atcid, livery.airl, airline));
            livery.airl = airline;
        }
        if (info->type != livery.type) {
            lf_addReportLine(conversionReport, fmt::format("{:80} {} model {} => {}", livery.title,
                                                           livery.atcid, livery.type, info->type));
            livery.type = info->type;
        }
    }
}

void lf_writeScanReport() {
    const bool noErrors = isEmpty(invalidAirlineReport) && isEmpty(invalidTypeReport) &&
                          isEmpty(fixesReport) && isEmpty(invalidFileReport) &&
                          isEmpty(incompleteSectionReport);
    gf_logText(noErrors ? "\nNo errors" : "\nErrors:");
    writeSortedList(invalidAirlineReport, errorsDir / "InvalidAirlineCodes.txt",
                    "{} invalid airline code{}, see {}", false);
    writeSortedList(invalidTypeReport, errorsDir / "InvalidAircraftCodes.txt",
                    "{} invalid model code{}, see {}", false);
    if (const std::vector<std::string> fixes = takeLines(fixesReport); !fixes.empty()) {
        const fs::path file = errorsDir / "Fixes.txt";
        bool written = false;
        try {
            fs::create_directories(file.parent_path());
            written = gf_writeLinesToFile(fixes, file);
        } catch (const std::exception& e) {
            gf_logText(fmt::format("Error writing file {}: {}", file.string(), e.what()));
        }
        logWritten(written, fmt::format("{} code fixes, see {}", fixes.size(), file.string()), file);
    }
    writeSortedList(invalidFileReport, errorsDir / "InvalidAircraftCfgFiles.txt",
                    "{0} invalid aircraft.cfg files, see {2}", false);
    writeSortedList(incompleteSectionReport, errorsDir / "IncompleFltsimSections.txt",
                    "{0} incomplete [fltsim.x] sections, see {2}", true);
    gf_logText("\nInformation:");
    if (std::list<std::string> empty = takeLines(emptyFileReport); !empty.empty()) {
        const fs::path file = infoDir / "AircraftCfgWithNoFltsimSection.txt";
        empty.sort();
        logWritten(gf_writeListToFile(empty, file),
                   fmt::format("{} empty aircraft.cfg files, see {}", empty.size(), file.string()), file);
    }
    if (const std::vector<std::string> conversions = takeLines(conversionReport); !conversions.empty()) {
        const fs::path& file = conversionsReportFile;
        logWritten(gf_writeLinesToFile(conversions, file),
                   fmt::format("{} liveries updated with real live data from dbase, see {}",
                               conversions.size(), file.string()),
                   file);
    }
}

void lf_clearScanReports() {
    clearLines(invalidAirlineReport);
    clearLines(invalidTypeReport);
    clearLines(fixesReport);
    clearLines(invalidFileReport);
    clearLines(incompleteSectionReport);
    clearLines(emptyFileReport);
    clearLines(conversionReport);
}

} // namespace zeph
