#include "simstandin/world_file.h"

#include <array>
#include <fstream>
#include <sstream>
#include <string_view>

#include <fmt/format.h>
#include <nlohmann/json.hpp>

#include "simstandin/control.h"

namespace zeph::standin {

namespace {

using nlohmann::json;

constexpr std::array<std::string_view, 8> kWorldKeys = {"setUser",       "setGround",       "setClock",
                                                        "refuseTitles",  "installedTitles", "addTraffic",
                                                        "setSimRunning", "setStaticCg"};

// Short forms: a bare array of titles, a bare number of feet, a bare boolean.
json argumentsOf(const std::string& key, const json& value) {
    if ((key == "refuseTitles" || key == "installedTitles") && value.is_array()) {
        return {{"titles", value}};
    }
    if (key == "setGround" && value.is_number()) {
        return {{"feet", value}};
    }
    if (key == "setSimRunning" && value.is_boolean()) {
        return {{"running", value}};
    }
    if (key == "setClock" && value.is_string()) {
        return {{"utc", value}};
    }
    return value;
}

void apply(SimStandin& standin, const std::string& path, const std::string& key, const json& value) {
    json command = argumentsOf(key, value);
    if (!command.is_object()) {
        throw WorldFileError(fmt::format("{}: {}: expected an object", path, key));
    }
    command["cmd"] = key;
    bool shutdown = false;
    try {
        runCommand(standin, command, shutdown);
    } catch (const ControlError& e) {
        throw WorldFileError(fmt::format("{}: {}", path, e.what()));
    }
}

} // namespace

void loadWorldFile(SimStandin& standin, const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        throw WorldFileError(fmt::format("{}: cannot read the file", path));
    }
    std::stringstream text;
    text << in.rdbuf();
    const json world = json::parse(text.str(), nullptr, false);
    if (world.is_discarded()) {
        throw WorldFileError(fmt::format("{}: not valid JSON", path));
    }
    if (!world.is_object()) {
        throw WorldFileError(fmt::format("{}: expected a JSON object", path));
    }
    for (const auto& [key, value] : world.items()) {
        bool known = false;
        for (std::string_view k : kWorldKeys) {
            known = known || k == key;
        }
        if (!known) {
            throw WorldFileError(fmt::format("{}: {}: unknown key", path, key));
        }
    }
    // Applied in a fixed order, so the ground is set before traffic that sits on it.
    for (std::string_view key : kWorldKeys) {
        const std::string name(key);
        if (!world.contains(name)) {
            continue;
        }
        const json& value = world.at(name);
        if ((name == "addTraffic" || name == "setStaticCg") && value.is_array()) {
            for (const json& item : value) {
                apply(standin, path, name, item);
            }
        } else {
            apply(standin, path, name, value);
        }
    }
}

} // namespace zeph::standin
