#pragma once
#include <filesystem>
#include <functional>
#include <string>

// The folder walk of the scans: depth first, with one listing per folder, so each folder is opened once. A
// folder that cannot be listed, an entry that cannot be read and an entry whose visit throws are told to the
// caller, and the walk goes on with the next entry.

namespace zeph {

enum class ListingOrder {
    FileSystem, // as the folder lists itself; its listing stays open while the walk is below it
    Name,       // name order (entriesInNameOrder), so runs agree; the listing is read whole
};

struct FolderWalk {
    ListingOrder order = ListingOrder::FileSystem;
    // Called for each entry; true enters it. An exception it throws is that entry's failure.
    std::function<bool(const std::filesystem::directory_entry&)> visit;
    // A failure: the folder that could not be listed or read on, or the entry whose visit threw, and the
    // cause (the exception's text, or the system's message).
    std::function<void(const std::filesystem::path& where, const std::string& cause)> failed;
    // Asked before each entry; false ends the walk. Unset: the walk goes to its end.
    std::function<bool()> goOn;
};

// Walks below root (root itself is listed, not visited). Throws only what failed throws.
void walkFolderTree(const std::filesystem::path& root, const FolderWalk& walk);

} // namespace zeph
