#include "update/program_update.h"

#include <cstdio>
#include <memory>
#include <optional>
#include <system_error>

#include <fmt/format.h>
#include <zip.h>

#include "core/files.h"
#include "core/log.h"
#include "core/program.h"
#include "core/run_flags.h"
#include "core/text_files.h"
#include "core/zip_archive.h"
#include "platform/elevation.h"
#include "platform/known_folders.h"
#include "platform/write_probe.h"
#include "settings/data_tree.h"
#include "state/exit_reason.h"
#include "state/status_line.h"
#include "state/window_port.h"
#include "update/curl_handle.h"
#include "update/download_config.h"
#include "update/downloader.h"

namespace zeph {

namespace fs = std::filesystem;

namespace {

constexpr std::size_t unzipChunkBytes = 524288;
constexpr std::string_view adminText = "A new version is available. Run the installer as Administrator";
constexpr std::string_view normalText =
    "A new version is available.\nThe installer can be executed normally (no Administrator rights required).";

// Removes file; a failure other than a missing file is logged with warning and the error text.
void removeWithWarning(const fs::path& file, std::string_view warning) {
    std::error_code error;
    if (!fs::remove(file, error) && error && error != std::errc::no_such_file_or_directory) {
        gf_logLine(fmt::format("{}: {}", warning, error.message()));
    }
}

// One entry into install_new_version.exe. 0, or the libzip error code. An empty entry is no installer, and
// a written size other than the stated one counts as an inconsistent archive; an entry past the size cap
// is not unpacked at all, whatever it states, since a few compressed bytes may unpack to any size. The stop
// is asked between chunks, so a run that ends never waits for an unpacking: ZIP_ER_CANCELLED then.
int unzipEntry(ZipArchive& archive, const ZipArchive::Entry& entry, std::FILE* out) {
    const std::uint64_t cap = downloadConfig().maxFileBytes;
    if (entry.size == 0 || entry.size > cap) {
        return ZIP_ER_INCONS;
    }
    std::uint64_t written = 0;
    bool stopped = false;
    int result = archive.readContent(entry.index, unzipChunkBytes, [&](std::span<const char> bytes) {
        stopped = runIsStopping();
        if (stopped || bytes.size() > cap - written) {
            return false;
        }
        const std::size_t count = std::fwrite(bytes.data(), 1, bytes.size(), out);
        written += count;
        return count == bytes.size();
    });
    if (stopped) {
        return ZIP_ER_CANCELLED;
    }
    if (result == 0 && written != entry.size) {
        result = ZIP_ER_INCONS;
    }
    return result;
}

} // namespace

void unzipInstaller(ZipArchive& archive, const std::string& archiveName) {
    for (const ZipArchive::Entry& entry : archive.entries()) {
        removeWithWarning(installerExeName, "Warning: could not remove old installer");
        std::unique_ptr<std::FILE, FileCloser> out(std::fopen(installerExeName.c_str(), "wb"));
        if (!out) {
            gf_logLine(fmt::format("Could not create output file {}", installerExeName.string()));
            continue;
        }
        int result = unzipEntry(archive, entry, out.get());
        if (std::fclose(out.release()) != 0 && result == 0) {
            result = ZIP_ER_WRITE;
        }
        if (result == 0) {
            gf_logText(fmt::format("{} unzipped to {}", archiveName, installerExeName.string()));
        } else {
            gf_logLine(fmt::format("Unzipping error code: {}", result));
            removeWithWarning(installerExeName, "Warning: could not remove old installer");
        }
        // A stopped unpacking leaves no installer, also not one of an earlier entry.
        if (result == ZIP_ER_CANCELLED) {
            return;
        }
    }
}

namespace {

// The archive downloaded and unpacked into install_new_version.exe; true when an installer was unpacked
// whole. After a failure no installer of an earlier, interrupted attempt is left to be prepared as this one.
bool fetchAndUnpack(const Version& version, const std::string& archiveName) {
    const std::string url = downloadConfig().baseUrl + "release/" + archiveName;
    const CurlHandle handle = lf_newCurlHandle();
    if (!gf_downloadFile(handle.get(), url, archiveName, true, ContentCheck::ZipArchive)) {
        gf_setStatus(
            fmt::format("Downloading program installer file version {} failed", gf_versionText(version)),
            true);
        removeWithWarning(installerExeName, "Warning: could not remove old installer");
        return false;
    }
    gf_logText(fmt::format("Downloaded {}", archiveName));
    ZipArchive archive;
    if (!archive.openRead(archiveName, false)) {
        gf_logLine(fmt::format("Could not open {}", archiveName));
        removeWithWarning(installerExeName, "Warning: could not remove old installer");
        return false;
    }
    unzipInstaller(archive, archiveName);
    std::error_code error;
    return fs::exists(installerExeName, error);
}

// The filesystem errors of reading or making the folder are passed on.
void prepareNewVersionFolder() {
    if (!fs::exists(newVersionDir)) {
        fs::create_directory(newVersionDir);
    } else {
        gf_removeFilesFromDirectory(newVersionDir);
    }
}

std::optional<std::uintmax_t> sizeOf(const fs::path& file) {
    std::error_code error;
    const std::uintmax_t size = fs::file_size(file, error);
    if (error) {
        gf_logText(fmt::format("file_size({}) failed: {}", file.string(), error.message()));
        return std::nullopt;
    }
    return size;
}

// install_new_version.exe moved into new_version through an intermediate name, its size checked on the way.
bool moveInstallerIntoNewVersion() {
    const fs::path target = newVersionDir / installerExeName;
    const fs::path part = newVersionDir / (installerExeName.string() + ".part");
    std::error_code error;
    fs::remove(target, error);
    fs::remove(part, error);
    const std::optional<std::uintmax_t> size = sizeOf(installerExeName);
    if (!size) {
        return false;
    }
    fs::rename(installerExeName, part, error);
    if (error) {
        gf_logText(fmt::format("could not rename {} => {}: {}", installerExeName.string(), part.string(),
                               error.message()));
        return false;
    }
    const std::optional<std::uintmax_t> moved = sizeOf(part);
    if (!moved) {
        return false;
    }
    if (*moved != *size) {
        gf_logText(fmt::format("rename {} => {} suspicious: size {} != {}", installerExeName.string(),
                               part.string(), *size, *moved));
        return false;
    }
    fs::rename(part, target, error);
    if (error) {
        gf_logText(fmt::format("could not finalize rename {} => {}: {}", part.string(), target.string(),
                               error.message()));
        return false;
    }
    removeWithWarning(installerExeName, "Warning: could not remove extracted");
    return true;
}

// Folder names are compared whole, so /optical is not under /opt.
bool isInside(const fs::path& folder, const fs::path& root) {
    const fs::path normalFolder = folder.lexically_normal();
    const fs::path normalRoot = root.lexically_normal();
    auto inFolder = normalFolder.begin();
    for (auto part = normalRoot.begin(); part != normalRoot.end(); ++part) {
        if (part->empty()) {
            continue; // the empty last element of a root written with a trailing "/"
        }
        if (inFolder == normalFolder.end() || *inFolder != *part) {
            return false;
        }
        ++inFolder;
    }
    return true;
}

} // namespace

bool lf_downloadInstaller(const Version& version) {
    const std::string archiveName = fmt::format("setup_{}_d_v{}.zip", programId, gf_versionText(version));
    // What an earlier start prepared stays until a new installer is here whole.
    if (fetchAndUnpack(version, archiveName)) {
        prepareNewVersionFolder();
    }
    removeWithWarning(archiveName, "Warning: could not remove downloaded zip");
    std::error_code error;
    if (!fs::exists(installerExeName, error)) {
        // A download or unpacking that the stop cut short has logged so itself: the installer is not missing.
        if (runIsStopping()) {
            return false;
        }
        gf_logLine(fmt::format("{} does not exists?", installerExeName.string()));
        return false;
    }
    return moveInstallerIntoNewVersion();
}

bool lf_downloadReleaseNotes(const fs::path& localPath) {
    const CurlHandle handle = lf_newCurlHandle();
    return gf_downloadFile(handle.get(), downloadConfig().baseUrl + "docs/" + releaseNotesName.string(),
                           localPath, true);
}

std::string lf_installerNeedsAdmin(const fs::path& programFolder) {
    bool underProgramFiles = false;
    for (const KnownFolder known : {KnownFolder::ProgramFiles, KnownFolder::ProgramFilesX86}) {
        if (const std::optional<fs::path> root = knownFolder(known)) {
            underProgramFiles = underProgramFiles || isInside(programFolder, *root);
        }
    }
    if (underProgramFiles && !canCreateFileIn(programFolder, ".write_test.tmp") && !isElevated()) {
        return std::string(adminText);
    }
    return std::string(normalText);
}

bool lf_openExplorerAtNewVersion() {
    if (gf_openContainingFolder(newVersionDir / installerExeName)) {
        return true;
    }
    windowPort().messageBox("Could not open File Explorer at new version", "Corvane");
    return false;
}

bool lf_runProgramUpdate(const Version& version) {
    if (!lf_downloadInstaller(version)) {
        gf_setStatus(
            "The downloading/unzipping of the new version failed? Try manually via the Maravel website.",
            true);
        return false;
    }
    // A download that the stop refused has logged so itself: the release notes are not missing.
    if (!lf_downloadReleaseNotes(newVersionDir / releaseNotesName) && !runIsStopping()) {
        gf_logLine(
            fmt::format("could not download {} to {}", releaseNotesName.string(), newVersionDir.string()));
    }
    const std::string text = lf_installerNeedsAdmin(fs::current_path());
    lf_logAndFlush(text);
    gf_writeFile(text, newVersionDir / "README.txt");
    if (!lf_openExplorerAtNewVersion()) {
        gf_setStatus("Opening file explorer at the new version failed? Try manually via the Maravel website.",
                     true);
    } else {
        gf_flushLog();
    }
    gf_setExitReason(ExitReason::NEW_VERSION, 0);
    return true;
}

} // namespace zeph
