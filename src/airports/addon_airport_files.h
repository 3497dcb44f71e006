#pragma once
#include <atomic>
#include <cstdint>
#include <filesystem>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "airports/airport_file_format.h"

// The files the add-on airport scan writes for each airport it finds: a link CODE.txt naming the maker's
// archived file, or a generated CODE.xml with the stands of the scenery; in airports/my_ORBX for the
// simulator's add-ons ("simaddon"), else in airports/my_thirdparty. The user keeps handmade files and links
// in the same folders: the scan overwrites and removes only files it made itself.

namespace zeph {

// Held for each whole linking step.
extern std::mutex linkMutex;
// Set when the scan wrote a link or generated file.
extern std::atomic<bool> scanChangedFiles;

// Whether the file is one an airport scan made: a link naming "archive/..." or an airport file generated
// from scenery (its "parameters" hold "num_parkpos").
bool lf_isScanMadeFile(const std::filesystem::path& file);
// Removes the scan-made files of folder; every other entry stays, noted in the scan log. Never throws.
void lf_removeScanMadeFiles(const std::filesystem::path& folder);

// "archive/simaddon/CODE.xml" when the code is archived for the simulator's add-ons.
std::optional<std::string> lf_findSimaddonArchive(const std::string& code);
// "archive/thirdparty/PUBLISHER/CODE.xml" (blanks as %20) when the publisher's list holds the code; the
// archived file's stand count goes to archivedStands.
std::optional<std::string> lf_findThirdpartyArchive(const std::string& publisher, const std::string& code,
                                                    std::uint32_t& archivedStands);
// Fills publisher and BGL path; true when a link to an archived file was written.
bool lf_linkAirport(ApfData& airport, std::uint32_t& archivedStands, const std::filesystem::path& bglFile);
// Writes CODE.xml from the stands, sorted by id.
void lf_generateAirportFile(ApfData& airport, const std::uint32_t& helipadCounter);

// The codes generated into my_thirdparty since the last call, sorted; the list is emptied.
std::vector<std::string> lf_takeGeneratedThirdpartyCodes();

} // namespace zeph
