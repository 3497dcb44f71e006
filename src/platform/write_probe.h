#pragma once
#include <filesystem>
#include <functional>
#include <string>

namespace zeph {

// True when a new file name can be created in folder and take one byte: the file is made exclusively,
// written, closed and removed again, so nothing stays behind.
bool canCreateFileIn(const std::filesystem::path& folder, const std::string& name);

// Routes canCreateFileIn to probe; an empty function restores the real one.
void setWriteProbeForTests(std::function<bool(const std::filesystem::path&, const std::string&)> probe);

} // namespace zeph
