#pragma once
#include <filesystem>
#include <string>

#include "core/version.h"

// A newer program version: its installer, release notes and a README in new_version, the file manager
// opened there, and the run ended as NEW VERSION. The user runs the installer; the program never does.

namespace zeph {

class ZipArchive;

// True when the preparation ran to its end and NEW VERSION is recorded (delay 0); false when the installer
// could not be prepared, and the version check goes on. Throws the filesystem errors of making or reading
// new_version.
bool lf_runProgramUpdate(const Version& version);

// Each entry of the downloaded archive in turn over install_new_version.exe in the current folder, so the
// last one stays. A failed entry (also an empty one, or one past the download size cap) leaves no installer
// behind: a part of one must never be prepared as the new version. archiveName is for the log.
void unzipInstaller(ZipArchive& archive, const std::string& archiveName);

// True when new_version holds install_new_version.exe of the size unpacked from the downloaded archive.
// new_version is emptied only once a new installer was unpacked whole: a failed download or unpacking
// leaves what an earlier start prepared.
bool lf_downloadInstaller(const Version& version);
bool lf_downloadReleaseNotes(const std::filesystem::path& localPath);
// The text for README.txt: whether the installer must run as Administrator in programFolder.
std::string lf_installerNeedsAdmin(const std::filesystem::path& programFolder);
// Opens the file manager at new_version; on failure shows a message box and gives false.
bool lf_openExplorerAtNewVersion();

} // namespace zeph
