#include "update/content_checks.h"

#include <array>
#include <exception>
#include <fstream>
#include <iterator>
#include <string>

#include <nlohmann/json.hpp>
#include <pugixml.hpp>
#include <sodium.h>

#include "aircraft/data_file_crypto.h"
#include "aircraft/data_file_key.h"
#include "core/zip_archive.h"

namespace zeph {

bool isSealedDataFile(const std::filesystem::path& file) {
    std::array<unsigned char, 32> key = gf_dataFileKey();
    bool opened = false;
    try {
        lf_streamDecryptToSink(key.data(), file.string(), [](std::span<const unsigned char>) {});
        opened = true;
    } catch (const std::exception&) {
        opened = false;
    }
    sodium_memzero(key.data(), key.size());
    return opened;
}

bool isJsonObject(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    if (!in) {
        return false;
    }
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const nlohmann::json value = nlohmann::json::parse(text, nullptr, false);
    return value.is_object();
}

bool isXmlDocument(const std::filesystem::path& file) {
    pugi::xml_document document;
    return static_cast<bool>(document.load_file(file.c_str()));
}

bool isZipArchive(const std::filesystem::path& file) {
    ZipArchive archive;
    return archive.openRead(file, true) && !archive.entries().empty();
}

bool contentChecksOut(ContentCheck check, const std::filesystem::path& file) {
    switch (check) {
    case ContentCheck::None:
        return true;
    case ContentCheck::SealedDataFile:
        return isSealedDataFile(file);
    case ContentCheck::JsonObject:
        return isJsonObject(file);
    case ContentCheck::XmlDocument:
        return isXmlDocument(file);
    case ContentCheck::ZipArchive:
        return isZipArchive(file);
    }
    return false;
}

} // namespace zeph
