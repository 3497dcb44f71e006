#include "airports/offline_package.h"

#include <fstream>
#include <list>

#include <fmt/format.h>

#include "airports/airport_database.h"
#include "airports/airport_file_locator.h"
#include "core/files.h"
#include "core/log.h"
#include "core/program.h"
#include "core/zip_archive.h"
#include "settings/data_tree.h"
#include "settings/parameter_table.h"
#include "state/window_port.h"

namespace zeph {

namespace fs = std::filesystem;

namespace {

void copyToTblo(const std::string& code) {
    const fs::path source = myThirdpartyDir / lf_withXmlExtension(code);
    const fs::path target = tbloName / lf_withXmlExtension(code);
    std::error_code error;
    fs::copy_file(source, target, fs::copy_options::overwrite_existing, error);
    if (error) {
        gf_logText(
            fmt::format("'{}' failed to copy '{}': {}", source.string(), target.string(), error.message()));
        return;
    }
    gf_logText(fmt::format("{} copied to {}", source.string(), target.string()));
    const fs::path link = myThirdpartyDir / lf_withTxtExtension(code);
    const bool exists = fs::exists(link, error);
    if (error) {
        gf_logText(fmt::format("exists({}) failed: {}", link.string(), error.message()));
    } else if (exists && !fs::remove(link, error)) {
        gf_logText(fmt::format("remove({}) failed: {}", link.string(), error.message()));
    }
}

void zipLine(const std::string& text) { lf_logAndFlush(text); }

} // namespace

std::optional<std::vector<char>> lf_readFileBytes(const fs::path& file) {
    std::ifstream in(file, std::ios::binary | std::ios::ate);
    if (!in) {
        return std::nullopt;
    }
    const std::streamoff size = in.tellg();
    if (size < 0 || !in.seekg(0)) {
        return std::nullopt;
    }
    std::vector<char> bytes(static_cast<std::size_t>(size), 0);
    if (!in.read(bytes.data(), size)) {
        return std::nullopt;
    }
    return bytes;
}

bool lf_zipFinish(ZipArchive& archive, const fs::path& zipFile, std::size_t added) {
    const bool closed = archive.close() == 0;
    std::error_code error;
    const bool exists = fs::exists(zipFile, error);
    std::uintmax_t size = 0;
    if (exists) {
        size = fs::file_size(zipFile, error);
        if (error) {
            size = static_cast<std::uintmax_t>(-1);
        }
    }
    zipLine(fmt::format("[zip] Added {} files, ok_close={}, exists={}, size={} bytes", added, closed, exists,
                        size));
    return added >= 1 && exists && size != 0 && size != static_cast<std::uintmax_t>(-1);
}

bool lf_zipFolder(const fs::path& zipFile) {
    std::error_code error;
    if (!fs::is_directory(tbloName, error)) {
        zipLine(fmt::format("[zip] Not a directory: {}", tbloName.string()));
        return false;
    }
    if (zipFile.has_parent_path()) {
        fs::create_directories(zipFile.parent_path(), error);
    }
    zipLine(fmt::format("[zip] Target file: {}", fs::absolute(zipFile, error).string()));
    zipLine(fmt::format("[zip] Source dir : {}", fs::absolute(tbloName, error).string()));
    if (fs::exists(zipFile, error)) {
        zipLine(fmt::format("[zip] Removing old zip {}", zipFile.string()));
        fs::remove(zipFile, error);
    }
    ZipArchive archive;
    if (!archive.create(zipFile)) {
        zipLine("[zip] Could not open archive for writing");
        return false;
    }
    // The archive reads the data when it is closed.
    std::list<std::vector<char>> buffers;
    std::size_t added = 0;
    std::vector<fs::directory_entry> entries;
    try {
        entries = entriesInNameOrder(tbloName);
    } catch (const fs::filesystem_error& e) {
        zipLine(fmt::format("[zip] Cannot list {}: {}", tbloName.string(), e.what()));
    }
    for (const fs::directory_entry& entry : entries) {
        if (!entry.is_regular_file() || entry.path() == zipFile) {
            continue;
        }
        std::optional<std::vector<char>> data = lf_readFileBytes(entry.path());
        if (!data) {
            zipLine(fmt::format("[zip] READ FAIL: {}", entry.path().string()));
            continue;
        }
        const std::string name = entry.path().filename().string();
        zipLine(fmt::format("[zip] Adding (data) {} -> {} ({} bytes)", entry.path().string(), name,
                            data->size()));
        buffers.push_back(std::move(*data));
        if (!archive.addData(name, buffers.back())) {
            zipLine(fmt::format("[zip] ERROR addData({})", name));
            break;
        }
        ++added;
    }
    return lf_zipFinish(archive, zipFile, added);
}

void lf_prepareTbloZip(const std::vector<std::string>& codes) {
    for (const std::string& code : codes) {
        if (gf_isKnownAirport(code)) {
            copyToTblo(code);
        }
    }
    std::int64_t files = 0;
    try {
        files = gf_countFilesInDirectory(tbloName);
    } catch (const fs::filesystem_error& e) {
        gf_logText(fmt::format("{} cannot be counted: {}", tbloName.string(), e.what()));
    }
    if (files < 1) {
        offlineLearningCount = 0;
        gf_logText("All your third party airports are recognised, no off line learning needed.");
        return;
    }
    if (!lf_zipFolder(tbloZipName)) {
        gf_logText("Zippen TBLO folder failed");
    }
    gf_removeXMLFilesFromDirectory(tbloName);
    offlineLearningCount = static_cast<std::int32_t>(files);
    gf_enableControl(tbloButton);
    gf_logText(fmt::format("\n! Mail {} to {}\n", tbloZipName.string(), supportAddress));
    windowPort().invalidate(wholeClientArea);
}

} // namespace zeph
