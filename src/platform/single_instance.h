#pragma once
#include <filesystem>
#include <string_view>

namespace zeph {

// Takes the process-wide lock called name and keeps it until the process ends. False only when another
// holder has it, which includes an earlier call of this process. When the lock file cannot be made the
// program runs anyway: the result is true and one line naming the file and the reason goes to stderr.
bool acquireSingleInstance(std::string_view name);

// $XDG_RUNTIME_DIR/<name>.lock, else <temp dir>/<name>-<uid>.lock; in the name every character outside
// [A-Za-z0-9._-] becomes '_'.
std::filesystem::path singleInstanceLockPath(std::string_view name);

} // namespace zeph
