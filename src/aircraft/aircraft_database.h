#pragma once
#include <array>
#include <filesystem>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "core/fnv1a.h"

// The aircraft database, read once per process by the start-up thread (dbase_reader.cpp) and only read
// afterwards, without locks.

namespace zeph {

// Known aircraft types and the category sets.
extern std::set<std::string> aircraftTypes;
extern std::set<std::string> largeTypes;
extern std::set<std::string> heavyTypes;
extern std::set<std::string> buzjetTypes;
extern std::set<std::string> rotorcraftTypes;
extern std::set<std::string> highPerfTypes;
extern std::set<std::string> cargoTypes;
// Groups of types that may stand in for one another, each sorted by bytes.
extern std::vector<std::vector<std::string>> similarTypeGroups;

extern std::set<std::string> airlineCodes;
extern std::set<std::string> cargoOperatorCodes;
// One entry per publisher: its name variants, the first being its name.
extern std::vector<std::vector<std::string>> publisherNames;

// Half the wingspan in nautical miles, by type, and the mean of each AcKind for types without one.
extern std::map<std::string, double> halfSpanByType;
extern std::array<double, 6> categoryHalfSpan;
// The largest half wingspan of the database, nautical miles: taken for a user aircraft whose type has no
// wingspan.
extern double maxHalfSpan;

// A wrongly written type code -> the correct one.
extern std::unordered_map<std::string, std::string, Fnv1aHash, std::equal_to<>> typeFixes;

// Airport codes of the simulator's own add-on airports.
extern std::set<std::string> simAddonAirports;

// A scenery publisher and its airports, each a four-letter code directly followed by a number.
struct ThirdPartyAirport {
    std::string publisher;
    std::vector<std::string> airports;
};
extern std::vector<ThirdPartyAirport> thirdPartyAirports;

// What the aircraft database knows of one registration.
struct RegcodeRecord {
    std::string airl; // airline code
    std::string type; // aircraft type
    std::string opr;  // operator code
    bool cargo = false;
};

// Registration in its written form (with its dash where it has one) -> its record.
extern std::unordered_map<std::string, RegcodeRecord, Fnv1aHash, std::equal_to<>> regcodeTable;

// Opens input/dbase.enc and reads the aircraft database; true on success, false when the plain file is not
// well-formed. Throws std::runtime_error for a missing or unopenable file and UserErrorException 61 for an
// empty required section. The plain copy is removed on every way out.
bool gf_readDbase();

// The AcKind value of a type: the first category set that holds it, in the order large (2), heavy (3),
// buzjet (1), rotorcraft (5), high performance (4); 0 (Light) for a type in none of them.
int gf_categoryOfType(const std::string& type);

// False for the empty string, else whether the type is a known aircraft type.
bool gf_isKnownAircraftType(const std::string& type);

// False for the empty string, else whether the code is a known airline.
bool lf_isAirlineCode(const std::string& code);

// Half the wingspan in nautical miles; for a type without a wingspan, the mean of its category.
double gf_wingspanOfType(const std::string& type);

// Whether part occurs in text, ASCII letters compared without case; an empty part always occurs. A text that
// is not UTF-8 contains nothing.
bool gf_containsNoCase(const std::filesystem::path& text, std::string_view part);

// The publisher whose name variant occurs in name (exact case or not), publishers and variants in table
// order; empty when none does or the name is not UTF-8.
std::optional<std::string> gf_findPublisherInName(const std::filesystem::path& name);

} // namespace zeph
