#include "aircraft/liveries_scanned_file.h"

#include <stdexcept>

#include <fmt/format.h>
#include <pugixml.hpp>

#include "aircraft/livery_scan.h"
#include "core/errors.h"
#include "core/log.h"
#include "core/program.h"
#include "core/version.h"
#include "core/xml_meta.h"
#include "settings/data_tree.h"

namespace zeph {

void lf_writeLiveriesScanned() {
    if (scannedLiveries.empty()) {
        return;
    }
    XmlMeta meta;
    meta.version = gf_versionText(programVersion);
    gf_setSimulatorKind(meta, simulatorKind.load());
    pugi::xml_document document;
    gf_writeMeta(document, meta);
    pugi::xml_node root = document.child("root");
    if (!root) {
        return;
    }
    pugi::xml_node liveries = root.append_child("liveries");
    for (const LiveryData& livery : scannedLiveries) {
        pugi::xml_node liv = liveries.append_child("liv");
        liv.append_attribute("airl") = livery.airl.c_str();
        liv.append_attribute("type") = livery.type.c_str();
        if (livery.cargo) {
            liv.append_attribute("cargo") = true;
        }
        liv.append_attribute("title") = livery.title.c_str();
        if (!livery.atcid.empty()) {
            liv.append_attribute("atcid") = livery.atcid.c_str();
        }
    }
    std::error_code ignored; // a missing folder shows as the failed save below
    std::filesystem::create_directories(liveriesScannedFile.parent_path(), ignored);
    if (!gf_addXmlDeclaration(document, liveriesScannedFile)) {
        gf_logText(fmt::format("! could not write {}", liveriesScannedFile.string()));
        throw std::runtime_error("could not write " + liveriesScannedFile.string());
    }
    gf_logText(fmt::format("{} liveries in {}", scannedLiveries.size(), liveriesScannedFile.string()));
}

void lf_readLiveriesScanned() {
    scannedLiveries.clear();
    const std::string path = liveriesScannedFile.string();
    pugi::xml_document document;
    if (!document.load_file(liveriesScannedFile.c_str())) {
        throw UserErrorException(51, fmt::format("File {} not found", path));
    }
    gf_readMeta(document, false);
    if (const pugi::xml_node root = document.child("root")) {
        const pugi::xml_node liveries = root.child("liveries");
        if (!liveries) {
            throw UserErrorException(52, fmt::format("{} does not contain a <liveries> section", path));
        }
        for (const pugi::xml_node liv : liveries.children()) {
            if (liv.type() != pugi::node_element) {
                continue;
            }
            auto required = [&](const char* name) {
                const pugi::xml_attribute attribute = liv.attribute(name);
                if (!attribute) {
                    throw UserErrorException(
                        999, fmt::format("Missing required attribute '{}' in <{}>", name, liv.name()));
                }
                return std::string(attribute.value());
            };
            LiveryData livery;
            livery.airl = required("airl");
            livery.type = required("type");
            livery.title = required("title");
            livery.atcid = liv.attribute("atcid").value();
            livery.cargo = liv.attribute("cargo").as_bool(false);
            scannedLiveries.push_back(std::move(livery));
        }
    }
    if (scannedLiveries.empty()) {
        throw UserErrorException(533, path + " does not contain liveries");
    }
    scannedLiveries.sort();
    gf_logText(fmt::format("{} liveries read from {}", scannedLiveries.size(), path));
}

} // namespace zeph
