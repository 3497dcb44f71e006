#pragma once
#include <filesystem>
#include <string>
#include <system_error>
#include <utility>

#include <unistd.h>

#include "settings/data_tree.h"

// What the fuzz targets share: a temporary folder of their own, and the check that stops on a broken rule.

namespace zeph::fuzz {

// A folder of this process under the temporary folder, made on the first call and removed when the run ends
// normally (a crash leaves it for a look), and the AppData folder of the run; a target touches no file
// outside it.
inline const std::filesystem::path& ownFolder(const std::string& target) {
    struct Folder {
        std::filesystem::path path;
        explicit Folder(std::filesystem::path made) : path(std::move(made)) {}
        Folder(const Folder&) = delete;
        Folder& operator=(const Folder&) = delete;
        ~Folder() {
            std::error_code ignored;
            std::filesystem::remove_all(path, ignored);
        }
    };
    static const Folder dir{[&] {
        auto path = std::filesystem::temp_directory_path() / (target + "_" + std::to_string(getpid()));
        std::filesystem::create_directories(path);
        // parameters.xml too, should a setting be saved.
        setAppDataDirForTests(path);
        return path;
    }()};
    return dir.path;
}

// The same folder is the current one while the object lives, as the program works from its own folder; the
// folder before comes back after each input, so that libFuzzer's relative paths keep their meaning.
class InOwnFolder {
public:
    explicit InOwnFolder(const std::string& target) : before_(std::filesystem::current_path()) {
        std::filesystem::current_path(ownFolder(target));
    }
    ~InOwnFolder() {
        std::error_code ignored;
        std::filesystem::current_path(before_, ignored);
    }
    InOwnFolder(const InOwnFolder&) = delete;
    InOwnFolder& operator=(const InOwnFolder&) = delete;

private:
    std::filesystem::path before_;
};

// Stops the run with the input that broke a rule.
inline void check(bool holds) {
    if (!holds) {
        __builtin_trap();
    }
}

} // namespace zeph::fuzz
