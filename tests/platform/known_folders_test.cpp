#include "platform/known_folders.h"

#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "support/scoped_env.h"

namespace zeph {
namespace {

using test::ScopedEnv;

// Every variable the table reads; each case starts with all of them unset.
const std::vector<std::string> folderVariables = {
    "CORVANE_APPDATA_DIR",
    "XDG_CONFIG_HOME",
    "HOME",
    "CORVANE_DOCUMENTS_DIR",
    "CORVANE_PUBLIC_DOCUMENTS_DIR",
    "XDG_CONFIG_DIRS",
    "CORVANE_PROGRAM_FILES_DIR",
    "CORVANE_PROGRAM_FILES_X86_DIR",
};

struct FolderCase {
    const char* name;
    KnownFolder folder;
    std::vector<std::pair<std::string, std::string>> env;
    std::optional<std::filesystem::path> expected;
};

TEST(KnownFolders, EachRowWithAndWithoutItsOverride) {
    using KF = KnownFolder;
    const std::vector<FolderCase> cases = {
        {"AppData override wins",
         KF::RoamingAppData,
         {{"CORVANE_APPDATA_DIR", "/o/app"}, {"XDG_CONFIG_HOME", "/x"}, {"HOME", "/h"}},
         "/o/app"},
        {"AppData from XDG_CONFIG_HOME",
         KF::RoamingAppData,
         {{"XDG_CONFIG_HOME", "/x"}, {"HOME", "/h"}},
         "/x"},
        {"AppData from HOME", KF::RoamingAppData, {{"HOME", "/h"}}, "/h/.config"},
        {"AppData: nothing set", KF::RoamingAppData, {}, std::nullopt},
        {"AppData: empty override",
         KF::RoamingAppData,
         {{"CORVANE_APPDATA_DIR", ""}, {"HOME", "/h"}},
         "/h/.config"},
        {"AppData: relative override",
         KF::RoamingAppData,
         {{"CORVANE_APPDATA_DIR", "app"}, {"HOME", "/h"}},
         "/h/.config"},
        {"AppData: relative XDG_CONFIG_HOME",
         KF::RoamingAppData,
         {{"XDG_CONFIG_HOME", "x"}, {"HOME", "/h"}},
         "/h/.config"},
        {"AppData: relative HOME", KF::RoamingAppData, {{"HOME", "h"}}, std::nullopt},
        {"Documents override",
         KF::Documents,
         {{"CORVANE_DOCUMENTS_DIR", "/o/doc"}, {"HOME", "/h"}},
         "/o/doc"},
        {"Documents from HOME", KF::Documents, {{"HOME", "/h"}}, "/h/Documents"},
        {"Documents: nothing set", KF::Documents, {}, std::nullopt},
        {"Documents: empty override",
         KF::Documents,
         {{"CORVANE_DOCUMENTS_DIR", ""}, {"HOME", "/h"}},
         "/h/Documents"},
        {"PublicDocuments override",
         KF::PublicDocuments,
         {{"CORVANE_PUBLIC_DOCUMENTS_DIR", "/o/pub"}, {"XDG_CONFIG_DIRS", "/a:/b"}},
         "/o/pub"},
        {"PublicDocuments from XDG_CONFIG_DIRS", KF::PublicDocuments, {{"XDG_CONFIG_DIRS", "/a:/b"}}, "/a"},
        {"PublicDocuments skips a relative entry",
         KF::PublicDocuments,
         {{"XDG_CONFIG_DIRS", "rel::/b"}},
         "/b"},
        {"PublicDocuments: no absolute entry", KF::PublicDocuments, {{"XDG_CONFIG_DIRS", "rel"}}, "/etc/xdg"},
        {"PublicDocuments: empty XDG_CONFIG_DIRS",
         KF::PublicDocuments,
         {{"XDG_CONFIG_DIRS", ""}},
         "/etc/xdg"},
        {"PublicDocuments: nothing set", KF::PublicDocuments, {}, "/etc/xdg"},
        {"ProgramFiles override", KF::ProgramFiles, {{"CORVANE_PROGRAM_FILES_DIR", "/o/pf"}}, "/o/pf"},
        {"ProgramFiles: nothing set", KF::ProgramFiles, {}, "/opt"},
        {"ProgramFiles: relative override", KF::ProgramFiles, {{"CORVANE_PROGRAM_FILES_DIR", "pf"}}, "/opt"},
        {"ProgramFilesX86 override",
         KF::ProgramFilesX86,
         {{"CORVANE_PROGRAM_FILES_X86_DIR", "/o/x86"}},
         "/o/x86"},
        {"ProgramFilesX86: nothing set", KF::ProgramFilesX86, {}, "/usr/local"},
        {"ProgramFilesX86: other override only",
         KF::ProgramFilesX86,
         {{"CORVANE_PROGRAM_FILES_DIR", "/o/pf"}},
         "/usr/local"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<std::unique_ptr<ScopedEnv>> env;
        for (const auto& name : folderVariables) {
            env.push_back(std::make_unique<ScopedEnv>(name, std::nullopt));
        }
        for (const auto& [name, value] : c.env) {
            env.push_back(std::make_unique<ScopedEnv>(name, value));
        }
        EXPECT_EQ(knownFolder(c.folder), c.expected);
    }
}

} // namespace
} // namespace zeph
