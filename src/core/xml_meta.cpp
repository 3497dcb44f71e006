#include "core/xml_meta.h"

#include <array>
#include <cstring>
#include <string_view>

#include "core/atomic_file.h"
#include "core/log.h"
#include "core/program.h"
#include "core/time_text.h"

namespace zeph {

namespace {

constexpr const char* kCopyright = "Copyright (c) 2026 Corvane. All rights reserved.";

// The entries a reader takes, each at its first appearance.
enum Entry : std::size_t { Copyright, Author, Date, Version, Sim, P3d, Msfs, EntryCount };
constexpr std::array<const char*, EntryCount> kEntryNames = {"copyright", "author", "date", "version",
                                                             "sim",       "P3D",    "MSFS"};

bool setAttribute(pugi::xml_node node, const char* name, const std::string& value) {
    pugi::xml_attribute attribute = node.append_attribute(name);
    return attribute && attribute.set_value(value.c_str());
}

void takeEntry(XmlMeta& meta, Entry entry, pugi::xml_attribute value) {
    switch (entry) {
    case Author:
        meta.author = value.value();
        break;
    case Date:
        meta.date = value.value();
        break;
    case Version:
        meta.version = value.value();
        break;
    case Sim:
        meta.kind = value.as_int(0);
        break;
    case P3d:
        meta.p3d = value.value();
        break;
    case Msfs:
        meta.msfs = value.value();
        break;
    case Copyright:
    case EntryCount:
        break;
    }
}

std::optional<Entry> entryByName(const char* name) {
    for (std::size_t i = 0; i < EntryCount; ++i) {
        if (std::strcmp(name, kEntryNames[i]) == 0) {
            return static_cast<Entry>(i);
        }
    }
    return std::nullopt;
}

// The declaration must be the document's first node for the file to be well-formed XML.
pugi::xml_node firstDeclaration(pugi::xml_document& document) {
    for (pugi::xml_node node : document.children()) {
        if (node.type() == pugi::node_declaration) {
            if (node != document.first_child()) {
                return document.prepend_move(node);
            }
            return node;
        }
    }
    return document.prepend_child(pugi::node_declaration);
}

// XML wants version first and encoding right after it (before standalone), whatever the loaded
// declaration held.
bool setDeclarationAttributes(pugi::xml_node declaration) {
    pugi::xml_attribute version = declaration.attribute("version");
    if (!version) {
        version = declaration.prepend_attribute("version");
    }
    pugi::xml_attribute encoding = declaration.attribute("encoding");
    if (!encoding) {
        encoding = declaration.insert_attribute_after("encoding", version);
    }
    return version && encoding && version.set_value("1.0") && encoding.set_value("UTF-8");
}

} // namespace

void gf_setSimulatorKind(XmlMeta& meta, std::int32_t kind) {
    meta.kind = kind;
    meta.p3d = kind == 3 ? "v56" : "";
    meta.msfs = kind == 3 ? "" : (kind == 1 ? "2020" : "2024");
}

bool lf_appendInfo(pugi::xml_node meta, const std::string& name, const std::string& value) {
    pugi::xml_node info = meta.append_child("info");
    return info && setAttribute(info, "name", name) && setAttribute(info, "value", value);
}

bool gf_writeMeta(pugi::xml_node document, const XmlMeta& meta) {
    pugi::xml_node root = document.child("root");
    if (!root) {
        root = document.append_child("root");
    }
    pugi::xml_node metaNode = root ? root.append_child("meta") : pugi::xml_node{};
    if (!metaNode) {
        return false;
    }
    // Every entry is tried even after one failed, so the header holds as much as it can.
    bool ok = lf_appendInfo(metaNode, "author", std::string(programId));
    ok = lf_appendInfo(metaNode, "version", meta.version) && ok;
    ok = lf_appendInfo(metaNode, "date", gf_dateText()) && ok;
    ok = lf_appendInfo(metaNode, "copyright", kCopyright) && ok;
    ok = lf_appendInfo(metaNode, "sim", std::to_string(meta.kind)) && ok;
    if (meta.kind > 0) {
        return ok;
    }
    bool versionOk =
        meta.p3d.empty() ? lf_appendInfo(metaNode, "MSFS", meta.msfs) : lf_appendInfo(metaNode, "P3D", "v56");
    return versionOk && ok;
}

std::optional<XmlMeta> gf_readMeta(pugi::xml_node document, bool acceptWithoutSim) {
    pugi::xml_node root = document.child("root");
    pugi::xml_node metaNode = (root ? root : document).child("meta");
    if (!metaNode || !metaNode.child("info")) {
        return std::nullopt;
    }
    XmlMeta meta;
    std::array<bool, EntryCount> seen{};
    for (pugi::xml_node info : metaNode.children("info")) {
        auto entry = entryByName(info.attribute("name").value());
        if (!entry || seen[*entry]) {
            continue;
        }
        seen[*entry] = true;
        pugi::xml_attribute value = info.attribute("value");
        if (*entry == Copyright && *value.value() == '\0') {
            gf_logLine("no copyright info in the file?");
            return std::nullopt;
        }
        takeEntry(meta, *entry, value);
    }
    if (!seen[Copyright]) {
        return std::nullopt;
    }
    if (acceptWithoutSim || seen[Sim] || seen[P3d] || seen[Msfs]) {
        return meta;
    }
    return std::nullopt;
}

bool gf_addXmlDeclaration(pugi::xml_document& document, const std::filesystem::path& file) {
    pugi::xml_node declaration = firstDeclaration(document);
    if (!declaration || !setDeclarationAttributes(declaration)) {
        return false;
    }
    return writeFileAtomically(file, [&](std::ostream& out) {
        document.save(out, "  ", pugi::format_indent, pugi::encoding_utf8);
        return static_cast<bool>(out);
    });
}

} // namespace zeph
