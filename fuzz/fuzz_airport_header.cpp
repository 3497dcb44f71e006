// The park airport's file as the park airport is loaded (its header, user error 65 for a missing altitude,
// the stands and the quality values), and the same file as the destination airport's, read for the stand
// closest to a position. Any bytes give stands, a failure text or a user error, never a crash or another
// exception; the quality values stay in their range and the closest stand is one of the file's, at most
// 100 nm away.
#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>

#include <pugixml.hpp>

#include "airports/airport_database.h"
#include "airports/closest_stand.h"
#include "airports/park_airport_file.h"
#include "airports/stands.h"
#include "core/errors.h"
#include "fuzz/fuzz_airports.h"
#include "fuzz/fuzz_support.h"
#include "settings/data_tree.h"
#include "traffic/park_airport_status.h"

namespace {

namespace fs = std::filesystem;
using zeph::fuzz::check;

const std::string kReference = "airports/my_thirdparty/EHAM.xml";

void setUp() {
    static const bool ready = [] {
        fs::create_directories(zeph::myThirdpartyDir);
        zeph::fuzz::addKnownAirports({{"EHAM", "AMS", 52.3086, 4.7639, -11.0, 3}});
        return true;
    }();
    (void)ready;
    zeph::setParkAirportRecord({"EHAM", "AMS", "", 52.3086, 4.7639, -11.0});
    zeph::parkQf = {0, 0};
}

bool inRange(std::int32_t quality) { return quality >= -1 && quality <= 100; }

void readAsParkAirport() {
    zeph::ApfHeader header;
    try {
        (void)zeph::gf_readApf(kReference, header);
    } catch (const zeph::UserErrorException& error) {
        const std::string text = error.what();
        check(text.starts_with("65: ") || text.starts_with("93: ") || text.starts_with("94: "));
    }
    check(inRange(zeph::parkQf.first) && inRange(zeph::parkQf.second));
    zeph::lf_clearParkPositions();
}

void readAsDestination() {
    pugi::xml_document doc;
    const bool loads = static_cast<bool>(doc.load_file(kReference.c_str()));
    std::string standId = "unset";
    const double distance = zeph::gf_readDestApfForClosestStand("EHAM", {52.31, 4.76}, standId);
    check(std::isfinite(distance) && distance >= 0.0 && distance <= 100.0);
    if (standId != "unset") {
        check(loads && distance < 100.0);
        bool found = false;
        for (const pugi::xpath_node& stand : doc.select_nodes("//parkpos")) {
            found = found || standId == stand.node().attribute("id").as_string();
        }
        check(found);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const zeph::fuzz::InOwnFolder inFolder("fuzz_airport_header");
    setUp();
    {
        std::ofstream out(kReference, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    }
    readAsParkAirport();
    readAsDestination();
    return 0;
}
