#pragma once
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

#include <pugixml.hpp>

namespace zeph {

// The meta header of the program's XML files: who wrote the file, with which version, when, and for which
// simulator.
struct XmlMeta {
    std::string author;
    std::string version;
    std::string date;
    std::string p3d;        // "v56" for Prepar3D v5 and v6
    std::string msfs;       // "2020" or "2024"
    std::int32_t kind = -1; // 3 Prepar3D, 1 MSFS 2020, any other MSFS 2024; -1 when a file gave none

    friend bool operator==(const XmlMeta&, const XmlMeta&) = default;
};

// Sets kind and the two version texts that go with it.
void gf_setSimulatorKind(XmlMeta& meta, std::int32_t kind);

// Appends one "info" element with its "name" and "value" attributes; false when an append fails.
bool lf_appendInfo(pugi::xml_node meta, const std::string& name, const std::string& value);

// Appends "meta" as the last child of "root" (appending "root" when missing) with the entries "author"
// (always the program id), "version", "date" (today, UTC), "copyright", "sim", and for a kind of 0 or less
// either "P3D" or "MSFS". True only when every append worked. Nothing is logged.
bool gf_writeMeta(pugi::xml_node document, const XmlMeta& meta);

// The header of a loaded document ("meta" under "root" or directly under the document). No value when
// "meta" or its "info" entries are missing, when there is no "copyright" entry or it is empty (which is
// logged), or when none of "sim", "P3D" and "MSFS" is there and acceptWithoutSim is false. Of two entries
// with one name the first counts.
std::optional<XmlMeta> gf_readMeta(pugi::xml_node document, bool acceptWithoutSim);

// Gives the document one declaration, first, with version "1.0" and encoding "UTF-8", and saves it
// indented by two blanks as UTF-8 without a byte-order mark. The file is replaced whole
// (writeFileAtomically): true only when all of it was written and renamed over the old one.
bool gf_addXmlDeclaration(pugi::xml_document& document, const std::filesystem::path& file);

} // namespace zeph
