#pragma once
#include <filesystem>
#include <list>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

// The seven report lists of the livery scan: filled by the scan tasks while they read, written below
// "output" after the walk, emptied by the reset.

namespace zeph {

template <typename Container> struct ReportList {
    std::mutex mutex;
    Container lines;
};

extern ReportList<std::list<std::string>> invalidAirlineReport; // output/errors/InvalidAirlineCodes.txt
extern ReportList<std::list<std::string>> invalidTypeReport;    // output/errors/InvalidAircraftCodes.txt
extern ReportList<std::vector<std::string>> fixesReport;        // output/errors/Fixes.txt
extern ReportList<std::list<std::string>> invalidFileReport;    // output/errors/InvalidAircraftCfgFiles.txt
extern ReportList<std::list<std::string>> incompleteSectionReport; // output/errors/IncompleFltsimSections.txt
extern ReportList<std::list<std::string>> emptyFileReport; // output/info/AircraftCfgWithNoFltsimSection.txt
extern ReportList<std::vector<std::string>> conversionReport; // output/info/AirlineModelConversions.txt

// Appends one line under the list's mutex; a full list throws std::length_error("list too long").
void lf_addReportLine(ReportList<std::list<std::string>>& list, std::string text);
void lf_addReportLine(ReportList<std::vector<std::string>>& list, std::string text);
// "{:12} in {} " + text to the invalid-airline list.
void lf_addReportEntry(std::string_view code, std::string_view file, std::string_view text);
// "{:16} in {}" to the invalid-type list.
void lf_addReportEntry(std::string_view code, std::string_view file);

// Each line followed by LF, the file replaced whole; false when it could not be written.
bool gf_writeListToFile(const std::list<std::string>& lines, const std::filesystem::path& file);

// Removes the report files of the previous scan (not AirlineModelConversions.txt, nor LiveriesScanned.xml,
// which the new one replaces whole), and output/errors when empty.
void lf_removePreviousScanFiles();
// Fills dontUseTitles from the AIG registration codes and the user's regcode files.
void lf_readDontUseTitleSources();
// Corrects the scanned liveries from the registration table, noting each change as a conversion.
void lf_updateLiveriesFromDbase();
// Writes the lists that hold lines and logs the summary.
void lf_writeScanReport();
// Empties the seven lists.
void lf_clearScanReports();

} // namespace zeph
