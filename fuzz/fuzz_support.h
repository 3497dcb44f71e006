#pragma once
#include <filesystem>
#include <string>

#include <unistd.h>

// What the fuzz targets share: a temporary folder of their own, and the check that stops on a broken rule.

namespace zeph::fuzz {

// A folder of this process under the temporary folder, made on the first call; a target touches no file
// outside it.
inline const std::filesystem::path& ownFolder(const std::string& target) {
    static const std::filesystem::path dir = [&] {
        auto path = std::filesystem::temp_directory_path() / (target + "_" + std::to_string(getpid()));
        std::filesystem::create_directories(path);
        return path;
    }();
    return dir;
}

// The same folder made the current one, as the program works from its own folder.
inline void enterOwnFolder(const std::string& target) {
    static const bool entered = [&] {
        std::filesystem::current_path(ownFolder(target));
        return true;
    }();
    (void)entered;
}

// Stops the run with the input that broke a rule.
inline void check(bool holds) {
    if (!holds) {
        __builtin_trap();
    }
}

} // namespace zeph::fuzz
