#pragma once
#include <filesystem>
#include <map>
#include <string>
#include <string_view>
#include <system_error>

// Names in files written for Windows (aircraft.cfg values) name files as Windows finds them: letters in any
// case, trailing dots and blanks ignored, '/' and '\' both separating. These never log or throw.

namespace zeph {

enum class WinKind { none, directory, regular, other };

// The name as Windows compares it: trailing dots and blanks dropped, ASCII letters upper-cased.
std::string winNameKey(std::string_view name);

// One listing of a folder, looked up by winNameKey. Of two names with one key the first in byte order wins.
class WinFolder {
public:
    struct Entry {
        std::string name;
        WinKind kind = WinKind::none;
    };
    WinFolder() = default;
    // Lists folder; a missing folder gives an empty listing, any other failure sets error.
    WinFolder(const std::filesystem::path& folder, std::error_code& error);
    const Entry* find(std::string_view name) const;

private:
    std::map<std::string, Entry, std::less<>> entries_;
};

// Resolves relative below base component by component, each through its folder's listing. An absolute
// value (leading separator or a drive "X:"), an empty component or ".." gives none, so nothing outside base
// is looked at. error is set for a listing that failed other than by a missing folder.
WinKind winResolve(const std::filesystem::path& base, std::string_view relative, std::error_code& error);

// The same, with the first listing already made.
WinKind winResolve(const WinFolder& baseListing, const std::filesystem::path& base, std::string_view relative,
                   std::error_code& error);

} // namespace zeph
