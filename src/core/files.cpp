#include "core/files.h"

#include <algorithm>
#include <exception>
#include <functional>
#include <string_view>
#include <system_error>

#include <fmt/format.h>

#include "core/log.h"
#include "core/strings.h"
#include "platform/known_folders.h"
#include "platform/shell.h"

namespace zeph {

namespace {

const std::filesystem::path myThirdPartyFolder = std::filesystem::path("airports") / "my_thirdparty";

char upperAscii(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

// Windows lists a folder sorted by upper-cased names; equal ones fall back to the bytes.
bool isBeforeInNameOrder(const std::filesystem::path& a, const std::filesystem::path& b) {
    const std::string left = a.filename().native();
    const std::string right = b.filename().native();
    auto byUpper = [](char x, char y) {
        return static_cast<unsigned char>(upperAscii(x)) < static_cast<unsigned char>(upperAscii(y));
    };
    if (std::lexicographical_compare(left.begin(), left.end(), right.begin(), right.end(), byUpper)) {
        return true;
    }
    if (std::lexicographical_compare(right.begin(), right.end(), left.begin(), left.end(), byUpper)) {
        return false;
    }
    return left < right;
}

bool hasXmlExtension(const std::filesystem::path& file) {
    return gf_equalsUpper(".XML", file.extension().string());
}

bool isFolder(const std::filesystem::path& folder) {
    std::error_code error;
    return std::filesystem::is_directory(folder, error);
}

// Removes the chosen entries of folder in name order and stops at the first failure with one log line.
void removeEntries(const std::filesystem::path& folder, std::string_view caller,
                   const std::function<bool(const std::filesystem::path&)>& chosen) {
    if (!isFolder(folder)) {
        return;
    }
    try {
        for (const auto& entry : entriesInNameOrder(folder)) {
            if (chosen(entry.path())) {
                // The single remove unlinks a symbolic link itself and never follows it.
                std::filesystem::remove(entry.path());
            }
        }
    } catch (const std::exception& e) {
        gf_logLine(fmt::format("{} exception: {}", caller, e.what()));
    }
}

} // namespace

std::vector<std::filesystem::directory_entry> entriesInNameOrder(const std::filesystem::path& folder) {
    std::vector<std::filesystem::directory_entry> entries;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        entries.push_back(entry);
    }
    std::sort(entries.begin(), entries.end(),
              [](const auto& a, const auto& b) { return isBeforeInNameOrder(a.path(), b.path()); });
    return entries;
}

void gf_removeFilesFromDirectory(const std::filesystem::path& folder) {
    removeEntries(folder, "gf_removeFilesFromDirectory", [](const std::filesystem::path&) { return true; });
}

void gf_removeXMLFilesFromDirectory(const std::filesystem::path& folder) {
    removeEntries(folder, "gf_removeXMLFilesFromDirectory", hasXmlExtension);
}

std::int64_t gf_countFilesInDirectory(const std::filesystem::path& folder) {
    if (!std::filesystem::exists(folder)) {
        return 0;
    }
    std::int64_t count = 0;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        if (entry.is_regular_file()) {
            ++count;
        }
    }
    return count;
}

void gf_listXMLFiles(std::vector<std::string>& names) {
    if (!std::filesystem::exists(myThirdPartyFolder)) {
        return;
    }
    names.reserve(names.size() + 512);
    for (const auto& entry : entriesInNameOrder(myThirdPartyFolder)) {
        if (entry.is_regular_file() && hasXmlExtension(entry.path())) {
            names.push_back(entry.path().stem().string());
        }
    }
}

std::vector<std::string> gf_listXMLFiles() {
    std::vector<std::string> names;
    gf_listXMLFiles(names);
    return names;
}

std::optional<std::filesystem::path> gf_getKnownFolderPath() {
    return knownFolder(KnownFolder::RoamingAppData);
}

std::filesystem::path gf_getAppDataPath() {
    if (auto folder = gf_getKnownFolderPath()) {
        return *folder;
    }
    gf_logLine("Could not find the AppData path");
    return {};
}

bool gf_openContainingFolder(const std::filesystem::path& file) {
    std::error_code error;
    if (!std::filesystem::exists(file, error)) {
        return false;
    }
    std::filesystem::path parent = file.parent_path();
    if (parent.empty()) {
        return false;
    }
    std::filesystem::path absolute = std::filesystem::absolute(parent, error);
    if (error) {
        return false;
    }
    return shellOpen(absolute);
}

} // namespace zeph
