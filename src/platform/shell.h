#pragma once
#include <filesystem>
#include <functional>

namespace zeph {

// Opens target in the desktop's handler for it (a folder in the file manager) through xdg-open, which is
// started and not waited for. False when xdg-open is not on PATH or could not be started.
bool shellOpen(const std::filesystem::path& target);

// Routes shellOpen to handler, so tests see what would be opened; an empty function restores the real one.
void setShellOpenHandlerForTests(std::function<bool(const std::filesystem::path&)> handler);

// The first executable xdg-open in the folders of PATH; empty when there is none.
std::filesystem::path findXdgOpen();

} // namespace zeph
