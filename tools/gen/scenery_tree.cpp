#include "gen/scenery_tree.h"

#include <fstream>
#include <random>

#include "gen/draw.h"

namespace zeph::gen {

namespace fs = std::filesystem;

namespace {

constexpr double kMetresPerDegree = 111120.0;

} // namespace

BglAirport sampleAirport(const std::string& ident, int stands, int helipads, const std::string& name,
                         std::int32_t altitudeMm) {
    const double lat = 52.3;
    const double lon = 4.76;
    BglAirport airport;
    airport.ident = ident;
    airport.altitudeMm = altitudeMm;
    airport.subrecords.emplace_back(BglName{name, {}});
    for (int i = 0; i < helipads; ++i) {
        airport.subrecords.emplace_back(BglHelipad{lat + 0.002, lon + 0.001 * i, 30.0F, 45.0F});
    }
    BglParkingList list;
    for (int i = 0; i < stands; ++i) {
        BglParking p;
        p.nameCode = 10;
        p.number = static_cast<std::uint32_t>(i + 1);
        p.lat = lat;
        p.lon = lon + 60.0 * i / kMetresPerDegree;
        list.entries.push_back(p);
    }
    airport.subrecords.emplace_back(list);
    return airport;
}

void writeAirportBgl(const fs::path& file, const std::vector<BglAirport>& airports) {
    BglSection section;
    section.airports = airports;
    writeBytes(file, buildBgl(BglFile{{section}, {}, {}}));
}

void writeFillerBgl(const fs::path& file, std::size_t bytes) {
    BglSection section;
    section.type = 0x65;
    section.trailing.push_back(
        BglRaw{0x22, static_cast<std::uint32_t>(std::max<std::size_t>(bytes, 200) / 4 * 4)});
    writeBytes(file, buildBgl(BglFile{{section}, {}, {}}));
}

fs::path writeScanTree(const fs::path& root) {
    const fs::path afolder = root / "addons";
    writeAirportBgl(afolder / "ORBX/EHAM/scenery/ADE_EHAM.BGL",
                    {sampleAirport("EHAM", 5, 3, "Schiphol", -3353)});
    writeAirportBgl(afolder / "Some Publisher/EGLL/scenery/EGLL.bgl",
                    {sampleAirport("EGLL", 14, 0, "Heathrow")});
    writeAirportBgl(afolder / "Other/LFPG/statics/LFPG.bgl", {sampleAirport("LFPG", 3, 0)});
    writeAirportBgl(afolder / "Other/x_heliports.bgl", {sampleAirport("KJFK", 3, 0)});
    fs::create_directories(afolder / "Other/a.bgl");
    std::ofstream(afolder / "Other/readme.txt") << "not scenery\n";
    writeFillerBgl(afolder / "Other/filler.bgl", 400);
    writeAirportBgl(afolder / "P3D/Scenery/World/KSEA.bgl", {sampleAirport("KSEA", 3, 0)});
    return afolder;
}

void writeSampleScenery(const fs::path& dir) {
    writeAirportBgl(dir / "Demo Sceneries/EHAM/scenery/EHAM.bgl",
                    {sampleAirport("EHAM", 12, 2, "Schiphol", -3353)});
}

void writeScaleScenery(const fs::path& root, int files, double share, std::uint32_t seed,
                       const std::vector<std::string>& airportCodes) {
    Draw draw{std::mt19937(seed)};
    const auto airportEvery = static_cast<int>(share > 0.0 ? 1.0 / share : files + 1.0);
    std::size_t code = 0;
    for (int i = 0; i < files; ++i) {
        const fs::path file =
            root / ("area" + std::to_string(i % 97)) / ("scenery" + std::to_string(i) + ".bgl");
        if (!airportCodes.empty() && i % airportEvery == 0) {
            const std::string& ident = airportCodes[code++ % airportCodes.size()];
            writeAirportBgl(file, {sampleAirport(ident, static_cast<int>(draw.between(20, 200)), 0)});
        } else {
            writeFillerBgl(file, draw.between(200, 65536));
        }
    }
}

void writeFuzzSeeds(const fs::path& dir) {
    writeAirportBgl(dir / "basic.bgl", {sampleAirport("EHAM", 3, 2, "Schiphol", -3353)});
    BglAirport extended = sampleAirport("EGLL", 2, 1);
    extended.extended = true;
    writeAirportBgl(dir / "extended.bgl", {extended});
    writeFillerBgl(dir / "filler.bgl", 300);
    std::vector<std::uint8_t> cut =
        buildBgl(BglFile{{BglSection{3, 1, {sampleAirport("LFPG", 2, 0)}, {}, {}, {}}}, {}, {}});
    truncateTo(cut, cut.size() - 40);
    writeBytes(dir / "truncated.bgl", cut);
}

} // namespace zeph::gen
