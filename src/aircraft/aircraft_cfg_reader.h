#pragma once
#include <cstdint>
#include <filesystem>
#include <list>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "aircraft/livery_data.h"
#include "platform/win_path.h"

// One standard aircraft.cfg or sim.cfg file turned into liveries, one per usable [fltsim.N] section. Runs as
// a scan task on a pool thread; every problem goes to a report list. The title of each livery is claimed
// later by the walker, in walk order, so the first file in walk order keeps a title, whichever task ends
// first.

namespace zeph {

// A livery as its task found it, before its title is claimed, and the report line for a taken title.
struct ScanCandidate {
    LiveryData record;
    std::string duplicateReport;
};

// The titles accepted in this scan; only the walker claims them (lf_makeLiveryRecord).
extern std::set<std::string> scanTitleSet;
extern std::mutex scanTitleSetMutex;

// The filled record when the title was new to scanTitleSet, else the empty record.
LiveryData lf_makeLiveryRecord(std::uint32_t folderNumber, const std::string& airline,
                               const std::string& type, bool cargo, const std::string& title,
                               const std::string& atcid);

// The scan task of a standard file. Logs and passes on every exception.
std::list<ScanCandidate> lf_searchLiveriesinFile(int folderNumber, const std::filesystem::path& file);

// False after a malformed or out-of-range section number (logged or reported); a file without any section
// is listed as empty and answers true.
bool lf_checkFltSimNumbers(const std::vector<std::string>& lines, const std::filesystem::path& file);
// The file's aircraft type from its first atc_model line, after the type fixes; empty when it has none.
std::string lf_fixMissingAtcModel(const std::filesystem::path& file, const std::vector<std::string>& lines);

std::list<ScanCandidate> lf_procesFltSimSections(int folderNumber, const std::vector<std::string>& lines,
                                                 const std::string& type, const std::filesystem::path& file,
                                                 const std::filesystem::path& aircraftFolder,
                                                 const WinFolder& listing);
std::list<ScanCandidate> lf_procesFltSimSection(int folderNumber, std::vector<std::string>& sectionLines,
                                                const std::string& type, const std::filesystem::path& file,
                                                const std::filesystem::path& aircraftFolder,
                                                const WinFolder& listing);

// One registration of an atc_id value: false for no item, an empty item, one over 12 characters or one with
// '*'; out is the item when there is exactly one, else empty.
bool lf_validateAtcId(const std::string& value, std::string& out);

// Whether dontUseTitles holds the title.
bool lf_inNameList(const std::string& title);

// The lines of a livery file in its charset, or false after the one log line.
bool lf_readLiveryFileLines(const std::filesystem::path& file, std::vector<std::string>& lines);

// Drops trailing lines that are empty or begin with "//".
void lf_trimSectionTail(std::vector<std::string>& sectionLines);

// What the check of a section's three paths found: the first missing one's model path, or nothing missing.
// Throws std::filesystem::filesystem_error("status") when a listing fails.
bool lf_liveryPathsExist(const std::filesystem::path& aircraftFolder, const WinFolder& listing,
                         const std::string& model, const std::string& sim, const std::string& texture);

} // namespace zeph
