// The airport database's document: any document that pugixml loads fills the table or is refused with a
// std::runtime_error, never a crash, and every airport kept is in the code index.
#include <cstddef>
#include <cstdint>
#include <stdexcept>

#include <pugixml.hpp>

#include "airports/airport_database.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    pugi::xml_document document;
    if (!document.load_buffer(data, size)) {
        return 0;
    }
    zeph::resetAirportDatabaseForTests();
    try {
        zeph::lf_readAirportsDocument(document, "airports.xml");
    } catch (const std::runtime_error&) {
        return 0;
    }
    for (const zeph::AirportRecord& airport : zeph::airportTable) {
        if (!zeph::gf_isKnownAirport(airport.code)) {
            __builtin_trap();
        }
    }
    return 0;
}
