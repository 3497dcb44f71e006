#pragma once
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "gen/bgl_builder.h"

// Add-on scenery folders as users have them, for the airport-scan tests, its benchmark and run.sh.

namespace zeph::gen {

// An airport near (lat, lon) named name: its helipads first, then one parking list of gates "g1".."gN" in a
// row, each 20 m in radius; altitude in millimetres.
BglAirport sampleAirport(const std::string& ident, int stands, int helipads,
                         const std::string& name = "Sample", std::int32_t altitudeMm = 1000);
// One file with one airport section holding the airports.
void writeAirportBgl(const std::filesystem::path& file, const std::vector<BglAirport>& airports);
// A BGL file of about bytes bytes whose only section is no airport section.
void writeFillerBgl(const std::filesystem::path& file, std::size_t bytes);

// The scan-test tree below root: afolder (returned) holds
//   ORBX/EHAM/scenery/ADE_EHAM.BGL        EHAM, 5 stands, 3 helipads (upper-case extension)
//   Some Publisher/EGLL/scenery/EGLL.bgl  EGLL, 14 stands
//   Other/LFPG/statics/LFPG.bgl           LFPG (inside "statics": not scanned)
//   Other/x_heliports.bgl                 KJFK (a heliport file: not scanned)
//   Other/a.bgl/                          a folder
//   Other/readme.txt, Other/filler.bgl    no airport section
//   P3D/Scenery/World/KSEA.bgl            the fake install path's stock scenery: not entered
std::filesystem::path writeScanTree(const std::filesystem::path& root);

// One add-on airport (EHAM, 12 stands, 2 helipads) below dir/Demo Sceneries: a folder named after no
// publisher.
void writeSampleScenery(const std::filesystem::path& dir);

// files BGL files of 200 B to 64 KiB below root, share of them with an airport section of 20 to 200
// stands; the same seed gives the same bytes. airportCodes are taken in turn.
void writeScaleScenery(const std::filesystem::path& root, int files, double share, std::uint32_t seed,
                       const std::vector<std::string>& airportCodes);

// Seed files for the BGL fuzz target.
void writeFuzzSeeds(const std::filesystem::path& dir);

} // namespace zeph::gen
