#pragma once
#include <filesystem>
#include <functional>
#include <list>
#include <set>
#include <shared_mutex>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "aircraft/regcodes.h"
#include "core/fnv1a.h"

// The passes that turn the registration sources (the atc_id of installed liveries, the AIG registration
// codes, the user's regcode files) into the special-livery tables, and that collect the "don't use" titles.
// Later sources win for one registration: user files over AIG codes over atc_ids.

namespace zeph {

// Registration -> title of the installed livery (a view into the airline livery table).
extern std::unordered_map<std::string, std::string_view, Fnv1aHash, std::equal_to<>> regcodeTitleTable;
// Every registration of a special livery, and those of special liveries with exactly one registration.
extern std::set<std::string> specialRegcodes;
extern std::set<std::string> uniqueRegcodes;
// The title of each special livery entered (a title may appear more than once).
extern std::vector<std::string_view> specialTitles;
// Titles that must not become liveries. Scan tasks read them under a shared lock of dontUseTitlesMutex, the
// scan fills and empties them under a unique one: a task given up at a run's end may still be reading.
extern std::vector<std::string> dontUseTitles;
extern std::shared_mutex dontUseTitlesMutex;
// The lines of OfflineRegcodes.txt.
extern std::vector<std::string> offlineRegcodeReport;

std::filesystem::path inlineRegcodesFile();  // output/errors/InlineRegcodes.txt
std::filesystem::path offlineRegcodesFile(); // output/info/OfflineRegcodes.txt

// The titles without registrations of the plain AIG file, and of the user's regcode files.
void lf_readDontUseTitles();
void lf_readDontUseTitleFolder();
// Enters the atc_id of every scanned livery; clashes go to InlineRegcodes.txt.
void lf_checkInlineRegcodes();
// Merges one list of records into the tables, with one summary line in the report.
void lf_mergeRegcodes(std::list<RegcodeLivery> records);
// The plain AIG file, and the user's regcode folder, read and merged.
void lf_processAIGregcodeFile();
void lf_processRegcodeFolder();
// Opens the sealed AIG file, merges it and the user's files, and writes OfflineRegcodes.txt.
void lf_processOfflineRegcodes();

} // namespace zeph
