// A BGL file as the add-on airport scan meets it: the quick look for an airport section, the read into
// words, and the walk whose airports are linked or generated into airports/my_thirdparty and my_ORBX by the
// scan's own functions, all in the target's own folder. The first byte picks the file's place (and so its
// publisher); the rest is the file. The words are the whole file; a generated airport file counts as
// scan-made and holds every stand of its airport; nothing is written outside airports/.
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <stdexcept>
#include <vector>

#include <pugixml.hpp>

#include "airports/addon_airport_files.h"
#include "airports/airport_database.h"
#include "airports/bgl_file.h"
#include "airports/scan_log.h"
#include "fuzz/fuzz_airports.h"
#include "fuzz/fuzz_support.h"
#include "settings/data_tree.h"

namespace {

namespace fs = std::filesystem;
using zeph::fuzz::check;

const fs::path kPlaces[] = {"scenery/fuzz.bgl", "ORBX/FTX_EU/scenery/fuzz.bgl",
                            "Prepar3D v5 Add-ons/Test Publisher/scenery/fuzz.bgl"};

void setUp() {
    static const bool ready = [] {
        zeph::fuzz::addKnownAirports(
            {{"EHAM", "", 0, 0, 0, 0}, {"EGLL", "", 0, 0, 0, 0}, {"LFPG", "", 0, 0, 0, 0}});
        for (const fs::path& place : kPlaces) {
            fs::create_directories(place.parent_path());
        }
        return true;
    }();
    (void)ready;
    fs::remove_all(zeph::airportsDir);
}

// The scan's generation, and the file it wrote read back.
void generateAndRead(zeph::ApfData& airport, const std::uint32_t& helipads) {
    zeph::lf_generateAirportFile(airport, helipads);
    // Without stands nothing is written: a file there is an earlier record's of the same airport.
    if (airport.stands.empty()) {
        return;
    }
    for (const fs::path& folder : {zeph::myThirdpartyDir, zeph::myOrbxDir}) {
        const fs::path file = folder / (airport.code + ".xml");
        if (!fs::exists(file)) {
            continue;
        }
        check(zeph::lf_isScanMadeFile(file));
        pugi::xml_document doc;
        check(static_cast<bool>(doc.load_file(file.c_str())));
        check(doc.select_nodes("//parkpos").size() == airport.stands.size());
    }
}

// Only the BGL files and what the scan writes in airports/.
void checkNothingElseWritten() {
    for (const fs::directory_entry& entry : fs::recursive_directory_iterator(".")) {
        const fs::path path = entry.path().lexically_normal();
        check(entry.is_directory() || path.extension() == ".bgl" || *path.begin() == zeph::airportsDir);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const zeph::fuzz::InOwnFolder inFolder("fuzz_bgl_scan");
    setUp();
    if (size < 1) {
        return 0;
    }
    const fs::path& file = kPlaces[data[0] % 3];
    {
        std::ofstream out(file, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(data + 1), static_cast<std::streamsize>(size - 1));
    }
    (void)zeph::lf_hasAirportSection(file);
    std::vector<std::uint32_t> words;
    check(zeph::lf_readBglWords(file, words) && words.size() == (size - 1 + 3) / 4);
    const zeph::BglAirportSink sink{zeph::lf_linkAirport, generateAndRead};
    try {
        zeph::lf_processBGLfile(file, sink);
    } catch (const std::out_of_range&) {
    }
    checkNothingElseWritten();
    (void)zeph::lf_takeGeneratedThirdpartyCodes();
    const std::lock_guard lock(zeph::scanLogMutex);
    zeph::scanLog.clear();
    return 0;
}
