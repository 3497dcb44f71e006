#include "airports/airport_database.h"

#include <algorithm>
#include <charconv>
#include <cstring>
#include <exception>
#include <optional>
#include <stdexcept>

#include <fmt/format.h>

#include "aircraft/aircraft_database.h"
#include "aircraft/data_file_crypto.h"
#include "airports/closest_stand.h"
#include "airports/scan_log.h"
#include "core/errors.h"
#include "core/log.h"
#include "settings/data_tree.h"

namespace zeph {

std::vector<AirportRecord> airportTable;
std::unordered_set<std::string, Fnv1aHash, std::equal_to<>> airportCodes;
bool airportsLoaded = false;

namespace {

// Room for the whole database, so that reading never reallocates.
constexpr std::size_t kTableRoom = 15000;
// An airport farther away than this is not where the user stands.
constexpr double kAirportReachNm = 5.0;
constexpr double kNoAirportNm = 100.0;
// Thirdparty entries carry their number after the four letters of the code.
constexpr std::size_t kEntryCodeLength = 4;

// The attributes of one "airport" element, found in one walk over them: the database has thousands.
struct AirportAttributes {
    pugi::xml_attribute iata;
    pugi::xml_attribute lat;
    pugi::xml_attribute lon;
    pugi::xml_attribute alt;
    pugi::xml_attribute stands;
};

pugi::xml_attribute* slotOf(AirportAttributes& found, const char* name) {
    switch (name[0]) {
    case 'i':
        return std::strcmp(name, "iata") == 0 ? &found.iata : nullptr;
    case 'l':
        return std::strcmp(name, "lat") == 0   ? &found.lat
               : std::strcmp(name, "lon") == 0 ? &found.lon
                                               : nullptr;
    case 'a':
        return std::strcmp(name, "alt") == 0 ? &found.alt : nullptr;
    case 's':
        return std::strcmp(name, "stands") == 0 ? &found.stands : nullptr;
    default:
        return nullptr;
    }
}

AirportAttributes findAttributes(const pugi::xml_node& airport) {
    AirportAttributes found;
    for (const pugi::xml_attribute& attribute : airport.attributes()) {
        pugi::xml_attribute* slot = slotOf(found, attribute.name());
        // The first of repeated attributes counts, as a look-up by name finds it.
        if (slot != nullptr && !*slot) {
            *slot = attribute;
        }
    }
    return found;
}

// The code's first eight bytes as a number that orders as the bytes do; codes are rarely longer.
std::uint64_t codePrefix(const std::string& code) {
    std::uint64_t prefix = 0;
    for (std::size_t k = 0; k < sizeof prefix; ++k) {
        prefix = (prefix << 8U) | (k < code.size() ? static_cast<unsigned char>(code[k]) : 0U);
    }
    return prefix;
}

// Byte-wise by code, records of one code in the order read. Sorts small keys and moves each record once:
// comparing and swapping whole records costs a third of the read.
void sortByCode(std::vector<AirportRecord>& table) {
    struct Key {
        std::uint64_t prefix;
        std::uint32_t index;
    };
    std::vector<Key> keys;
    keys.reserve(table.size());
    for (std::size_t k = 0; k < table.size(); ++k) {
        keys.push_back(Key{codePrefix(table[k].code), static_cast<std::uint32_t>(k)});
    }
    std::sort(keys.begin(), keys.end(), [&](const Key& a, const Key& b) {
        if (a.prefix != b.prefix) {
            return a.prefix < b.prefix;
        }
        const int order = table[a.index].code.compare(table[b.index].code);
        return order != 0 ? order < 0 : a.index < b.index;
    });
    std::vector<AirportRecord> sorted;
    sorted.reserve(table.capacity());
    for (const Key& key : keys) {
        sorted.push_back(std::move(table[key.index]));
    }
    table.swap(sorted);
}

// The value as the XML library reads it (0 for no number), through the faster std::from_chars for a plain
// decimal number, which both read to the same double.
double readDouble(const pugi::xml_attribute& attribute) {
    const std::string_view text = attribute.value();
    double value = 0.0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return error == std::errc() && end == text.data() + text.size() ? value : attribute.as_double();
}

// Loads the plain file and fills the table, sorted; std::exception on any failure.
void readAirportsFile(const std::filesystem::path& plain) {
    const std::string path = plain.string();
    {
        pugi::xml_document doc;
        const pugi::xml_parse_result loaded = doc.load_file(plain.c_str());
        if (!loaded) {
            throw std::runtime_error(fmt::format("{} not loaded: {}", path, loaded.description()));
        }
        lf_readAirportsDocument(doc, path);
    }
    sortByCode(airportTable);
    gf_logText(fmt::format("{} airports read", airportTable.size()));
    gf_removeFile(plain);
    airportTable.shrink_to_fit();
}

} // namespace

void resetAirportDatabaseForTests() {
    airportTable.clear();
    airportTable.shrink_to_fit();
    airportCodes.clear();
    airportsLoaded = false;
}

bool gf_readAirports() {
    if (airportsLoaded) {
        return !airportTable.empty();
    }
    std::optional<ScopedPlainFile> plain;
    try {
        plain.emplace(airportsXmlFile);
        // A failed decryption leaves no plain file, and the load below reports it.
        gf_streamDecrypt(airportsEncFile, airportsXmlFile);
        airportTable.reserve(kTableRoom);
        airportCodes.reserve(kTableRoom);
    } catch (const std::exception& e) {
        gf_logLine(fmt::format("gf_readAirports exception : {}", e.what()));
        throw;
    }
    try {
        readAirportsFile(plain->path());
    } catch (const std::exception& e) {
        throw UserErrorException(88, e.what());
    }
    airportsLoaded = true;
    return !airportTable.empty();
}

void lf_readAirportsDocument(const pugi::xml_document& doc, const std::string& path) {
    const pugi::xml_node root = doc.child("root");
    const pugi::xml_node airports = (root ? root : doc).child("airports");
    if (!airports) {
        throw std::runtime_error("Missing <airports> root in: " + path);
    }
    for (const pugi::xml_node& airport : airports.children("airport")) {
        lf_readAirport(airport, airport.attribute("code").as_string());
    }
}

void lf_readAirport(const pugi::xml_node& airport, std::string code) {
    const AirportAttributes found = findAttributes(airport);
    if (!found.lat || !found.lon) {
        gf_logLine(fmt::format("Missing latLons for airport '{}'", code));
        return;
    }
    if (!found.alt) {
        gf_logLine(fmt::format("Missing alt for airport '{}'", code));
        return;
    }
    if (!found.stands) {
        gf_logLine(fmt::format("Missing stands for airport '{}'", code));
    }
    if (!found.iata) {
        gf_logLine(fmt::format("Missing IATA for airport '{}'", code));
        return;
    }
    try {
        airportTable.push_back(AirportRecord{code, found.iata.as_string(), readDouble(found.lat),
                                             readDouble(found.lon), readDouble(found.alt),
                                             found.stands.as_int()});
        airportCodes.insert(std::move(code));
    } catch (const std::exception& e) {
        gf_logText(fmt::format("Error parsing coordinates for airport '{}': {}", code, e.what()));
    }
}

const AirportRecord* gf_findAirport(std::string_view code) {
    const auto found =
        std::lower_bound(airportTable.begin(), airportTable.end(), code,
                         [](const AirportRecord& a, std::string_view key) { return a.code < key; });
    return found != airportTable.end() && found->code == code ? &*found : nullptr;
}

bool gf_isKnownAirport(std::string_view code) { return airportCodes.find(code) != airportCodes.end(); }

std::string gf_airportDisplayText(std::string_view code, std::string_view iata) {
    std::string text = code.empty() ? std::string("?") : std::string(code);
    if (!iata.empty()) {
        text += fmt::format(" ({})", iata);
    }
    return text;
}

std::string gf_airportDisplayText(const AirportRecord& airport) {
    return gf_airportDisplayText(airport.code, airport.iata);
}

const AirportRecord* gf_closestAirport(GeoPoint position) {
    double best = kNoAirportNm;
    const AirportRecord* closest = nullptr;
    const AirportRecord* neighbour = nullptr;
    for (const AirportRecord& airport : airportTable) {
        const double distance = gf_greatCircleDistance(position, airport.position());
        if (distance <= kAirportReachNm && distance < best) {
            best = distance;
            neighbour = closest != nullptr ? closest : neighbour;
            closest = &airport;
        }
    }
    if (closest == nullptr || neighbour == nullptr) {
        return closest;
    }
    gf_logText(fmt::format("Airport {} is closest, neighbour is {}", closest->code, neighbour->code));
    std::string closestStand;
    std::string neighbourStand;
    const double closestDistance = gf_readDestApfForClosestStand(closest->code, position, closestStand);
    const double neighbourDistance = gf_readDestApfForClosestStand(neighbour->code, position, neighbourStand);
    if (neighbourDistance >= closestDistance) {
        return closest;
    }
    gf_logText(fmt::format(
        "Airport {} is closest, but stand {} at neighbouring airport {} is closer at {:.0F} meters ...",
        closest->code, neighbourStand, neighbour->code, neighbourDistance * kMetresPerNm));
    return neighbour;
}

std::string lf_publisherFromFilename(const std::filesystem::path& file) {
    const std::string text = file.string();
    if (text.find("ORBX") != std::string::npos || gf_containsNoCase(file, "ORBX")) {
        gf_addScanLogLine("from filename => publisher simaddon");
        return "simaddon";
    }
    return gf_findPublisherInName(file).value_or(std::string());
}

bool ThirdpartyEntryMatch::operator()(const std::string& entry) const {
    if (!entry.starts_with(code)) {
        return false;
    }
    if (entry.size() > kEntryCodeLength) {
        const char* first = entry.data() + kEntryCodeLength;
        const char* last = entry.data() + entry.size();
        if (std::from_chars(first, last, result).ec == std::errc()) {
            return true;
        }
    }
    gf_logLine(fmt::format("{} {} {} {}", publisher, code, entry, "invalid number"));
    return true;
}

bool gf_appendAttribute(pugi::xml_node& node, const std::string& name, std::string value) {
    pugi::xml_attribute attribute = node.append_attribute(name.c_str());
    if (!attribute) {
        return false;
    }
    attribute.set_value(value.c_str());
    return true;
}

} // namespace zeph
