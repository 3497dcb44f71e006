// gen_livery_tree: writes a tree of generated aircraft.cfg files for the scan benchmark, or the liveries a
// JSON list names for the staged sample folder.
//   gen_livery_tree --out DIR --list FILE
//   gen_livery_tree --out DIR --files N --seed S --sections 1-8 --ivao-share F --pvt-share F
//                   --charsets utf8:70,bom:10,u16le:10,u16be:2,cp1252:8 --dbase data/input/dbase.xml

#include <cstdio>
#include <exception>
#include <map>
#include <sstream>
#include <stdexcept>
#include <string>

#include "gen/livery_tree.h"
#include "gen/usage.h"

namespace {

constexpr const char* kUsage =
    "usage: gen_livery_tree --out DIR --list FILE\n"
    "       gen_livery_tree --out DIR [--files N] [--seed S] [--sections A-B] [--ivao-share F]\n"
    "                       [--pvt-share F] [--charsets name:weight,...] [--dbase FILE]\n"
    "Writes the liveries a JSON list names, or a generated tree of aircraft.cfg files.\n"
    "Defaults: --files 1000, --seed 1, --sections 1-8, --ivao-share 0, --pvt-share 0,\n"
    "--charsets utf8:70,bom:10,u16le:10,u16be:2,cp1252:8 (also u16le-nobom), the type B738 and the\n"
    "airline KLM unless --dbase names a plain aircraft database.\n";

using zeph::gen::CharsetShare;
using zeph::gen::Encoding;

std::vector<CharsetShare> parseCharsets(const std::string& text) {
    const std::map<std::string, Encoding> names{{"utf8", Encoding::Utf8},
                                                {"bom", Encoding::Utf8Bom},
                                                {"u16le", Encoding::Utf16LeBom},
                                                {"u16be", Encoding::Utf16BeBom},
                                                {"u16le-nobom", Encoding::Utf16LeNoBom},
                                                {"cp1252", Encoding::Cp1252}};
    std::vector<CharsetShare> shares;
    std::stringstream list(text);
    for (std::string item; std::getline(list, item, ',');) {
        const std::size_t colon = item.find(':');
        const auto name = names.find(item.substr(0, colon));
        if (colon == std::string::npos || name == names.end()) {
            throw std::invalid_argument("bad charset share: " + item);
        }
        shares.push_back({name->second, static_cast<unsigned>(std::stoul(item.substr(colon + 1)))});
    }
    return shares;
}

zeph::gen::ScaleOptions parseOptions(int argc, char** argv, std::string& out, std::string& list) {
    zeph::gen::ScaleOptions options;
    options.charsets = parseCharsets("utf8:70,bom:10,u16le:10,u16be:2,cp1252:8");
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string flag = argv[i];
        const std::string value = argv[i + 1];
        if (flag == "--out") {
            out = value;
        } else if (flag == "--list") {
            list = value;
        } else if (flag == "--files") {
            options.files = std::stoi(value);
        } else if (flag == "--seed") {
            options.seed = static_cast<std::uint32_t>(std::stoul(value));
        } else if (flag == "--sections") {
            options.minSections = std::stoi(value.substr(0, value.find('-')));
            options.maxSections = std::stoi(value.substr(value.find('-') + 1));
        } else if (flag == "--ivao-share") {
            options.ivaoShare = std::stod(value);
        } else if (flag == "--pvt-share") {
            options.pvtShare = std::stod(value);
        } else if (flag == "--charsets") {
            options.charsets = parseCharsets(value);
        } else if (flag == "--dbase") {
            zeph::gen::readDbaseNames(value, options.types, options.airlines);
        } else {
            throw std::invalid_argument("unknown option " + flag);
        }
    }
    if (argc % 2 == 0 || out.empty()) {
        throw std::invalid_argument(kUsage);
    }
    return options;
}

} // namespace

int main(int argc, char** argv) {
    if (zeph::gen::printUsageOnHelp(argc, argv, kUsage)) {
        return 0;
    }
    try {
        std::string out;
        std::string list;
        const zeph::gen::ScaleOptions options = parseOptions(argc, argv, out, list);
        if (!list.empty()) {
            zeph::gen::writeLiveryList(list, out);
        } else {
            zeph::gen::generateScaleTree(out, options);
        }
        return 0;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "gen_livery_tree: %s\n", e.what());
        return 2;
    }
}
