#include "core/folder_walk.h"

#include <optional>
#include <system_error>
#include <utility>
#include <vector>

#include "core/files.h"

namespace zeph {

namespace fs = std::filesystem;

namespace {

// One folder's entries in the walk's order. Opening throws std::filesystem::filesystem_error.
class FolderListing {
public:
    FolderListing(const fs::path& folder, ListingOrder order) : folder_(folder) {
        if (order == ListingOrder::Name) {
            sorted_ = entriesInNameOrder(folder);
            bySort_ = true;
        } else {
            open_ = fs::directory_iterator(folder);
        }
    }

    const fs::path& folder() const { return folder_; }

    // The next entry, or none at the end. A failure to read on ends the listing and is set in error.
    std::optional<fs::directory_entry> next(std::error_code& error) {
        if (bySort_) {
            return at_ < sorted_.size() ? std::optional(sorted_[at_++]) : std::nullopt;
        }
        if (open_ == fs::directory_iterator()) {
            return std::nullopt;
        }
        fs::directory_entry entry = *open_;
        open_.increment(error);
        return entry;
    }

private:
    fs::path folder_;
    bool bySort_ = false;
    fs::directory_iterator open_;
    std::vector<fs::directory_entry> sorted_;
    std::size_t at_ = 0;
};

} // namespace

void walkFolderTree(const fs::path& root, const FolderWalk& walk) {
    std::vector<FolderListing> listings;
    const auto enter = [&](const fs::path& folder) {
        try {
            listings.emplace_back(folder, walk.order);
        } catch (const std::exception& e) {
            walk.failed(folder, e.what());
        }
    };
    enter(root);
    while (!listings.empty() && (!walk.goOn || walk.goOn())) {
        std::error_code error;
        const std::optional<fs::directory_entry> entry = listings.back().next(error);
        if (error) {
            walk.failed(listings.back().folder(), error.message());
        }
        if (!entry) {
            listings.pop_back();
            continue;
        }
        bool descend = false;
        try {
            descend = walk.visit(*entry);
        } catch (const std::exception& e) {
            walk.failed(entry->path(), e.what());
        }
        if (descend) {
            enter(entry->path()); // may move the listings: nothing of them is held here
        }
    }
}

} // namespace zeph
