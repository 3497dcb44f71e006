#pragma once
#include <filesystem>
#include <optional>

namespace zeph {

// The folders the program asks the desktop for. Each can be pointed elsewhere through an environment
// variable, which is how tests give every location its own temp folder.
enum class KnownFolder { RoamingAppData, Documents, PublicDocuments, ProgramFiles, ProgramFilesX86 };

// RoamingAppData:  CORVANE_APPDATA_DIR, else $XDG_CONFIG_HOME, else $HOME/.config, else none.
// Documents:       CORVANE_DOCUMENTS_DIR, else $HOME/Documents, else none.
// PublicDocuments: CORVANE_PUBLIC_DOCUMENTS_DIR, else the first absolute entry of $XDG_CONFIG_DIRS,
//                  else /etc/xdg.
// ProgramFiles:    CORVANE_PROGRAM_FILES_DIR, else /opt.
// ProgramFilesX86: CORVANE_PROGRAM_FILES_X86_DIR, else /usr/local.
// A variable that is unset, empty or not an absolute path counts as unset. The folder need not exist.
std::optional<std::filesystem::path> knownFolder(KnownFolder folder);

// The value of an environment variable when it holds an absolute path.
std::optional<std::filesystem::path> absolutePathFromEnv(const char* name);

// $XDG_CONFIG_HOME, else $HOME/.config, else none.
std::optional<std::filesystem::path> configHome();

} // namespace zeph
