#pragma once
#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

#include <pugixml.hpp>

#include "core/fnv1a.h"
#include "core/geodesy.h"

// The airport database: every airport the program knows, read once per process from input/airports.enc.
// Written only by the start-up thread before anything else reads it; read without locks afterwards.

namespace zeph {

struct AirportRecord {
    std::string code; // ICAO, the key of the table
    std::string iata;
    double latitude = 0.0;  // degrees
    double longitude = 0.0; // degrees
    double altitude = 0.0;  // feet
    std::int32_t stands = 0;

    GeoPoint position() const { return GeoPoint{latitude, longitude}; }
};

// Sorted by code (byte-wise) after the read; records of one code are all kept.
extern std::vector<AirportRecord> airportTable;
// The codes of airportTable.
extern std::unordered_set<std::string, Fnv1aHash, std::equal_to<>> airportCodes;
// Set once a read has completed.
extern bool airportsLoaded;

// Empty table and index, nothing loaded.
void resetAirportDatabaseForTests();

// Reads the table on its first call in the process; later calls only answer whether it holds airports.
// The plain copy input/airports.xml is removed on every way out. Throws UserErrorException 88 when the
// file cannot be loaded or read.
bool gf_readAirports();

// The "airport" elements of a loaded document into the table (unsorted). Throws std::runtime_error
// without an "airports" element.
void lf_readAirportsDocument(const pugi::xml_document& doc, const std::string& path);

// One "airport" element into the table and the index; problems are logged, the airport skipped.
void lf_readAirport(const pugi::xml_node& airport, std::string code);

// The first airport with that code (exact case), null when there is none.
const AirportRecord* gf_findAirport(std::string_view code);
// Whether the code is in the index.
bool gf_isKnownAirport(std::string_view code);

// "EHAM (AMS)", "EHAM" without IATA code, "?" for an empty code.
std::string gf_airportDisplayText(std::string_view code, std::string_view iata);
std::string gf_airportDisplayText(const AirportRecord& airport);

// The airport within 5 nm of position that the user stands at; null when none. When another airport lost
// the first place on the way, the one whose nearest stand is closer wins.
const AirportRecord* gf_closestAirport(GeoPoint position);

// The publisher of an add-on airport file from its path: "simaddon" for ORBX scenery (noted in the scan
// log), else the publisher named in it, else empty.
std::string lf_publisherFromFilename(const std::filesystem::path& file);

// Tests one entry of a thirdparty airport list against code; a match reads the number after the entry's
// first four characters into result.
struct ThirdpartyEntryMatch {
    const std::string& publisher;
    const std::string& code;
    int& result;

    bool operator()(const std::string& entry) const;
};

// Appends the attribute with its value; false (nothing set) when the append fails.
bool gf_appendAttribute(pugi::xml_node& node, const std::string& name, std::string value);

} // namespace zeph
