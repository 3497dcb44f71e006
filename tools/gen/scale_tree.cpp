#include <fstream>
#include <random>
#include <sstream>
#include <stdexcept>

#include "gen/draw.h"
#include "gen/livery_tree.h"

namespace zeph::gen {

namespace fs = std::filesystem;

namespace {

// The values of attr="..." inside the element named section, split at ','.
std::vector<std::string> attributeItems(const std::string& xml, const std::string& section,
                                        const std::string& attr) {
    std::vector<std::string> items;
    const std::size_t begin = xml.find("<" + section + ">");
    const std::size_t end = xml.find("</" + section + ">");
    if (begin == std::string::npos || end == std::string::npos) {
        throw std::runtime_error("no <" + section + "> in the aircraft database");
    }
    const std::string opener = attr + "=\"";
    for (std::size_t at = xml.find(opener, begin); at < end; at = xml.find(opener, at)) {
        at += opener.size();
        std::stringstream list(xml.substr(at, xml.find('"', at) - at));
        for (std::string item; std::getline(list, item, ',');) {
            items.push_back(item);
        }
    }
    return items;
}

Encoding pickEncoding(const std::vector<CharsetShare>& shares, std::uint32_t draw) {
    unsigned total = 0;
    for (const CharsetShare& share : shares) {
        total += share.weight;
    }
    unsigned at = total == 0 ? 0 : draw % total;
    for (const CharsetShare& share : shares) {
        if (at < share.weight) {
            return share.encoding;
        }
        at -= share.weight;
    }
    return Encoding::Utf8;
}

} // namespace

void readDbaseNames(const fs::path& dbase, std::vector<std::string>& types,
                    std::vector<std::string>& airlines) {
    std::ifstream in(dbase, std::ios::binary);
    if (!in) {
        throw std::runtime_error("cannot open " + dbase.string());
    }
    const std::string xml((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    types = attributeItems(xml, "aircrafts", "types");
    airlines = attributeItems(xml, "ICAO_airlines", "codes");
}

void generateScaleTree(const fs::path& root, const ScaleOptions& options) {
    if (options.types.empty() || options.airlines.empty() || options.minSections < 0 ||
        options.maxSections < options.minSections) {
        throw std::invalid_argument("scale tree: no types, no airlines or a bad section range");
    }
    Draw draw{std::mt19937(options.seed)};
    const auto lineEnds = {LineEnd::Lf, LineEnd::Crlf, LineEnd::Mixed};
    for (int file = 0; file < options.files; ++file) {
        const std::string type = options.types[draw.below(options.types.size())];
        const Encoding encoding = pickEncoding(options.charsets, static_cast<std::uint32_t>(draw.engine()));
        const LineEnd lineEnd = *(lineEnds.begin() + draw.below(lineEnds.size()));
        const bool ivao = draw.chance(options.ivaoShare);
        const std::string group = "g" + std::to_string(file / 100);
        const std::string name = std::to_string(file);
        AircraftDir dir(ivao ? root / group / ("ivao" + name) / "IVAO_MTL" / ("IVAO_" + type)
                             : root / group / ("ac" + name),
                        encoding, lineEnd);
        if (!ivao) {
            dir.atcModel(type);
        }
        const int sections = options.minSections + static_cast<int>(draw.below(static_cast<std::size_t>(
                                                       options.maxSections - options.minSections + 1)));
        for (int s = 0; s < sections; ++s) {
            const std::string airline = options.airlines[draw.below(options.airlines.size())];
            const bool pvt = !ivao && draw.chance(options.pvtShare);
            const std::string accent = s % 4 == 3 ? " Caf\xC3\xA9" : "";
            const std::string title =
                type + " " + (pvt ? "Private" : airline) + " " + name + "-" + std::to_string(s) + accent;
            dir.livery(s, title, airline);
            if (!pvt && !ivao) {
                dir.parkingCodes(airline);
            }
        }
        dir.write();
    }
}

} // namespace zeph::gen
