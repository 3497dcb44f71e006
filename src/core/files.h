#pragma once
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace zeph {

// Closes a C stream that its owner has not released; callers that must see the close's result release and
// close it themselves.
struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};

// Folder entries are taken in name order (ASCII letters compared as upper case, as Windows lists them),
// because Linux lists in no particular order and the walks below stop at their first failure.

// The entries of folder in that order: upper-cased names, equal ones by their bytes. Throws
// std::filesystem::filesystem_error when the walk fails.
std::vector<std::filesystem::directory_entry> entriesInNameOrder(const std::filesystem::path& folder);

// Removes every entry of folder, each with the single remove: a file, an empty sub-folder, a symbolic link
// as a link. The first failure ends the walk with one log line "gf_removeFilesFromDirectory exception: ...";
// the entries after it stay. Nothing happens when folder is missing or not a folder. Never throws.
void gf_removeFilesFromDirectory(const std::filesystem::path& folder);

// The same walk over folder, removing only entries whose extension is ".XML" in any letter case.
void gf_removeXMLFilesFromDirectory(const std::filesystem::path& folder = "tblo");

// The regular files directly in folder; 0 when it does not exist. A walk that fails (folder is a file, no
// permission) throws std::filesystem::filesystem_error.
std::int64_t gf_countFilesInDirectory(const std::filesystem::path& folder);

// The stems of the ".XML" files (any case) in airports/my_thirdparty, sorted; empty when the folder is
// missing. A failing walk throws std::filesystem::filesystem_error. The second form appends to names.
std::vector<std::string> gf_listXMLFiles();
void gf_listXMLFiles(std::vector<std::string>& names);

// The roaming AppData folder, when the platform knows one.
std::optional<std::filesystem::path> gf_getKnownFolderPath();
// That folder, or an empty path after logging "Could not find the AppData path".
std::filesystem::path gf_getAppDataPath();

// Opens the folder holding file in the desktop's file manager. False when file does not exist, has no
// folder part, or the opener could not be started.
bool gf_openContainingFolder(const std::filesystem::path& file);

} // namespace zeph
