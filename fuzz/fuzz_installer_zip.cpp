// The downloaded installer archive: any bytes pass or fail the download's zip check, and any archive that
// opens unpacks into install_new_version.exe in the target's own folder without a crash. An installer that
// stays behind is the whole last entry, of the size the archive states.
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <vector>

#include "core/zip_archive.h"
#include "fuzz/fuzz_support.h"
#include "settings/data_tree.h"
#include "update/content_checks.h"
#include "update/program_update.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const zeph::fuzz::InOwnFolder inFolder("fuzz_installer_zip");
    const std::filesystem::path download = "installer.zip";
    {
        std::ofstream out(download, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    }
    std::filesystem::remove(zeph::installerExeName);
    const bool checked = zeph::contentChecksOut(zeph::ContentCheck::ZipArchive, download);
    zeph::ZipArchive archive;
    if (!archive.openRead(download, false)) {
        zeph::fuzz::check(!checked);
        return 0;
    }
    const std::vector<zeph::ZipArchive::Entry> entries = archive.entries();
    zeph::fuzz::check(!checked || !entries.empty());
    zeph::unzipInstaller(archive, download.string());
    if (std::filesystem::exists(zeph::installerExeName)) {
        zeph::fuzz::check(!entries.empty() &&
                          std::filesystem::file_size(zeph::installerExeName) == entries.back().size);
    }
    return 0;
}
