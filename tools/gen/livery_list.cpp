#include <fstream>
#include <set>
#include <stdexcept>

#include <nlohmann/json.hpp>

#include "gen/livery_tree.h"

namespace zeph::gen {

namespace {

std::string textOf(const nlohmann::json& item, const char* key, const std::string& where, bool required) {
    if (!item.contains(key)) {
        if (required) {
            throw std::invalid_argument(where + ": no \"" + key + "\"");
        }
        return {};
    }
    if (!item[key].is_string() || item[key].get<std::string>().empty()) {
        throw std::invalid_argument(where + ": \"" + key + "\" is not a text");
    }
    return item[key].get<std::string>();
}

struct ListedLivery {
    std::string folder, type, airline, title, parkingTypes;
};

std::vector<ListedLivery> readList(const std::filesystem::path& listFile) {
    std::ifstream in(listFile, std::ios::binary);
    if (!in) {
        throw std::invalid_argument(listFile.filename().string() + ": cannot be read");
    }
    const nlohmann::json list = nlohmann::json::parse(in, nullptr, false);
    if (list.is_discarded() || !list.is_object() || !list.contains("liveries") ||
        !list["liveries"].is_array()) {
        throw std::invalid_argument(listFile.filename().string() +
                                    ": not a JSON object with a \"liveries\" list");
    }
    std::vector<ListedLivery> liveries;
    std::set<std::string> folders;
    for (const nlohmann::json& item : list["liveries"]) {
        const std::string where =
            listFile.filename().string() + ": item " + std::to_string(liveries.size() + 1);
        if (!item.is_object()) {
            throw std::invalid_argument(where + ": not an object");
        }
        ListedLivery livery{textOf(item, "folder", where, true), textOf(item, "type", where, true),
                            textOf(item, "airline", where, true), textOf(item, "title", where, true),
                            textOf(item, "parkingTypes", where, false)};
        // The folder becomes a path below the tree's root and must stay there.
        if (livery.folder.find('/') != std::string::npos || livery.folder == "." || livery.folder == ".." ||
            !folders.insert(livery.folder).second) {
            throw std::invalid_argument(where + ": folder \"" + livery.folder +
                                        "\" is not one new plain name");
        }
        liveries.push_back(std::move(livery));
    }
    return liveries;
}

} // namespace

void writeLiveryList(const std::filesystem::path& listFile, const std::filesystem::path& root) {
    // The whole list is checked before the first folder is made, so a bad list leaves nothing behind.
    const std::vector<ListedLivery> liveries = readList(listFile);
    for (const ListedLivery& livery : liveries) {
        AircraftDir dir(root / livery.folder, Encoding::Utf8, LineEnd::Crlf);
        dir.atcModel(livery.type).livery(0, livery.title, livery.airline).parkingCodes(livery.airline);
        if (!livery.parkingTypes.empty()) {
            dir.parkingTypes(livery.parkingTypes);
        }
        dir.write();
    }
}

} // namespace zeph::gen
