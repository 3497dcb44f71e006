#include "platform/known_folders.h"

#include <cstdlib>
#include <string_view>

namespace zeph {

namespace {

std::optional<std::filesystem::path> homeFolder(std::string_view below) {
    auto home = absolutePathFromEnv("HOME");
    if (!home) {
        return std::nullopt;
    }
    return *home / below;
}

// XDG_CONFIG_DIRS is a colon list in order of preference; relative entries are invalid and skipped.
std::filesystem::path firstConfigDir() {
    const char* value = std::getenv("XDG_CONFIG_DIRS");
    std::string_view rest = value != nullptr ? value : "";
    while (!rest.empty()) {
        auto colon = rest.find(':');
        std::string_view entry = rest.substr(0, colon);
        if (!entry.empty() && entry.front() == '/') {
            return std::filesystem::path(entry);
        }
        rest = colon == std::string_view::npos ? std::string_view{} : rest.substr(colon + 1);
    }
    return "/etc/xdg";
}

struct FolderRule {
    const char* overrideName;
    std::optional<std::filesystem::path> (*fallback)();
};

FolderRule ruleOf(KnownFolder folder) {
    switch (folder) {
    case KnownFolder::RoamingAppData:
        return {"CORVANE_APPDATA_DIR", [] { return configHome(); }};
    case KnownFolder::Documents:
        return {"CORVANE_DOCUMENTS_DIR", [] { return homeFolder("Documents"); }};
    case KnownFolder::PublicDocuments:
        return {"CORVANE_PUBLIC_DOCUMENTS_DIR",
                [] { return std::optional<std::filesystem::path>(firstConfigDir()); }};
    case KnownFolder::ProgramFiles:
        return {"CORVANE_PROGRAM_FILES_DIR", [] { return std::optional<std::filesystem::path>("/opt"); }};
    case KnownFolder::ProgramFilesX86:
        return {"CORVANE_PROGRAM_FILES_X86_DIR",
                [] { return std::optional<std::filesystem::path>("/usr/local"); }};
    }
    return {nullptr, [] { return std::optional<std::filesystem::path>(); }};
}

} // namespace

std::optional<std::filesystem::path> absolutePathFromEnv(const char* name) {
    const char* value = std::getenv(name);
    if (value == nullptr || value[0] != '/') {
        return std::nullopt;
    }
    return std::filesystem::path(value);
}

std::optional<std::filesystem::path> configHome() {
    if (auto config = absolutePathFromEnv("XDG_CONFIG_HOME")) {
        return config;
    }
    return homeFolder(".config");
}

std::optional<std::filesystem::path> knownFolder(KnownFolder folder) {
    try {
        FolderRule rule = ruleOf(folder);
        if (rule.overrideName != nullptr) {
            if (auto chosen = absolutePathFromEnv(rule.overrideName)) {
                return chosen;
            }
        }
        return rule.fallback();
    } catch (...) {
        // Only an allocation can fail here; the platform layer answers "no folder" instead of throwing.
        return std::nullopt;
    }
}

} // namespace zeph
