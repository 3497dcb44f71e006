#pragma once
#include <filesystem>

// What a finished download must be before it may replace the file it is for.

namespace zeph {

// The sealed kinds are the three data files: each must open and hold what its reader needs, since the
// site's own files are sealed alike and one served in place of another would replace a working file.
enum class ContentCheck {
    None,
    SealedAirports,
    SealedDbase,
    SealedAigRegcodes,
    JsonObject,
    XmlDocument,
    ZipArchive
};

// A sealed data file that opens with the program's key, every chunk verified up to the final one, whose
// plain XML loads and holds the section section (under "root" or at the top); with needsMeta also the meta
// header without which the reader takes nothing. The plain bytes stay in memory, no plain copy is written.
bool isSealedDataFile(const std::filesystem::path& file, const char* section, bool needsMeta);
// A sealed data file that opens whole and that the aircraft database's reader would take: every required
// section present and non-empty.
bool isSealedDbase(const std::filesystem::path& file);
// A JSON text whose value is an object.
bool isJsonObject(const std::filesystem::path& file);
// An XML document that pugixml loads.
bool isXmlDocument(const std::filesystem::path& file);
// A zip archive that opens with its consistency checked and holds at least one entry.
bool isZipArchive(const std::filesystem::path& file);

// The check of that kind; None passes every file.
bool contentChecksOut(ContentCheck check, const std::filesystem::path& file);

} // namespace zeph
