#include "update/content_checks.h"

#include <array>
#include <exception>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>

#include <nlohmann/json.hpp>
#include <pugixml.hpp>
#include <sodium.h>

#include "aircraft/data_file_crypto.h"
#include "aircraft/data_file_key.h"
#include "aircraft/dbase_reader.h"
#include "core/errors.h"
#include "core/xml_meta.h"
#include "core/zip_archive.h"

namespace zeph {

namespace {

// The plain bytes of a sealed file, or nothing when it does not open whole.
std::optional<std::string> unsealedText(const std::filesystem::path& file) {
    std::array<unsigned char, 32> key = gf_dataFileKey();
    std::optional<std::string> text(std::in_place);
    try {
        lf_streamDecryptToSink(key.data(), file.string(), [&](std::span<const unsigned char> plain) {
            text->append(reinterpret_cast<const char*>(plain.data()), plain.size());
        });
    } catch (const std::exception&) {
        text.reset();
    }
    sodium_memzero(key.data(), key.size());
    return text;
}

// The plain XML of a sealed file, loaded as its reader loads it; false when it does not open or load.
bool loadSealedDocument(const std::filesystem::path& file, pugi::xml_document& document) {
    const std::optional<std::string> text = unsealedText(file);
    return text && document.load_buffer(text->data(), text->size());
}

} // namespace

bool isSealedDataFile(const std::filesystem::path& file, const char* section, bool needsMeta) {
    pugi::xml_document document;
    if (!loadSealedDocument(file, document)) {
        return false;
    }
    const pugi::xml_node root = document.child("root");
    const pugi::xml_node top = root ? root : static_cast<pugi::xml_node>(document);
    return top.child(section) && (!needsMeta || gf_readMeta(document, false));
}

bool isSealedDbase(const std::filesystem::path& file) {
    pugi::xml_document document;
    if (!loadSealedDocument(file, document)) {
        return false;
    }
    try {
        lf_checkDbaseDocument(document);
        return true;
    } catch (const UserErrorException&) {
        return false;
    }
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
    case ContentCheck::SealedAirports:
        return isSealedDataFile(file, "airports", false);
    case ContentCheck::SealedDbase:
        return isSealedDbase(file);
    case ContentCheck::SealedAigRegcodes:
        return isSealedDataFile(file, "AIG-regcodes", true);
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
