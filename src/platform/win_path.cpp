#include "platform/win_path.h"

#include <vector>

namespace zeph {

namespace fs = std::filesystem;

std::string winNameKey(std::string_view name) {
    while (!name.empty() && (name.back() == '.' || name.back() == ' ')) {
        name.remove_suffix(1);
    }
    std::string key(name);
    for (char& c : key) {
        if (c >= 'a' && c <= 'z') {
            c = static_cast<char>(c - 'a' + 'A');
        }
    }
    return key;
}

namespace {

WinKind kindOf(const fs::directory_entry& entry) {
    std::error_code ignored;
    // A link counts as what it points to, as Windows follows it.
    const fs::file_status status = entry.status(ignored);
    if (fs::is_directory(status)) {
        return WinKind::directory;
    }
    if (fs::is_regular_file(status)) {
        return WinKind::regular;
    }
    return ignored ? WinKind::none : WinKind::other;
}

} // namespace

WinFolder::WinFolder(const fs::path& folder, std::error_code& error) {
    std::error_code listing;
    fs::directory_iterator it(folder, listing);
    if (listing) {
        if (listing != std::errc::no_such_file_or_directory && listing != std::errc::not_a_directory) {
            error = listing;
        }
        return;
    }
    for (const fs::directory_iterator end; it != end; it.increment(listing)) {
        const std::string name = it->path().filename().string();
        Entry entry{name, kindOf(*it)};
        auto [pos, inserted] = entries_.try_emplace(winNameKey(name), entry);
        if (!inserted && name < pos->second.name) {
            pos->second = entry;
        }
    }
    if (listing) {
        error = listing;
    }
}

const WinFolder::Entry* WinFolder::find(std::string_view name) const {
    const auto it = entries_.find(winNameKey(name));
    return it == entries_.end() ? nullptr : &it->second;
}

namespace {

bool isSeparator(char c) { return c == '/' || c == '\\'; }

// The components of a relative value; false for an absolute value or an empty or ".." component.
bool splitRelative(std::string_view value, std::vector<std::string_view>& parts) {
    if (value.empty() || isSeparator(value.front())) {
        return false;
    }
    std::size_t start = 0;
    for (std::size_t i = 0; i <= value.size(); ++i) {
        if (i == value.size() || isSeparator(value[i])) {
            const std::string_view part = value.substr(start, i - start);
            const std::string key = winNameKey(part);
            // A drive or stream name (':') cannot be part of a name below the folder.
            if (key.empty() || key == ".." || part.find(':') != std::string_view::npos) {
                return false;
            }
            parts.push_back(part);
            start = i + 1;
        }
    }
    return true;
}

} // namespace

WinKind winResolve(const WinFolder& baseListing, const fs::path& base, std::string_view relative,
                   std::error_code& error) {
    std::vector<std::string_view> parts;
    if (!splitRelative(relative, parts)) {
        return WinKind::none;
    }
    fs::path folder = base;
    const WinFolder* listing = &baseListing;
    WinFolder deeper; // replaced per level below the base
    for (std::size_t i = 0; i < parts.size(); ++i) {
        const WinFolder::Entry* entry = listing->find(parts[i]);
        if (entry == nullptr) {
            return WinKind::none;
        }
        if (i + 1 == parts.size()) {
            return entry->kind;
        }
        if (entry->kind != WinKind::directory) {
            return WinKind::none;
        }
        folder /= entry->name;
        deeper = WinFolder(folder, error);
        if (error) {
            return WinKind::none;
        }
        listing = &deeper;
    }
    return WinKind::none;
}

WinKind winResolve(const fs::path& base, std::string_view relative, std::error_code& error) {
    const WinFolder listing(base, error);
    if (error) {
        return WinKind::none;
    }
    return winResolve(listing, base, relative, error);
}

} // namespace zeph
