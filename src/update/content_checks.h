#pragma once
#include <filesystem>

// What a finished download must be before it may replace the file it is for.

namespace zeph {

enum class ContentCheck { None, SealedDataFile, JsonObject, XmlDocument, ZipArchive };

// A sealed data file that opens with the program's key, every chunk verified up to the final one. The plain
// bytes are discarded as they come, so no plain copy is written.
bool isSealedDataFile(const std::filesystem::path& file);
// A JSON text whose value is an object.
bool isJsonObject(const std::filesystem::path& file);
// An XML document that pugixml loads.
bool isXmlDocument(const std::filesystem::path& file);
// A zip archive that opens with its consistency checked and holds at least one entry.
bool isZipArchive(const std::filesystem::path& file);

// The check of that kind; None passes every file.
bool contentChecksOut(ContentCheck check, const std::filesystem::path& file);

} // namespace zeph
