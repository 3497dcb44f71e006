#pragma once
#include <array>
#include <map>
#include <set>
#include <string>
#include <unordered_map>

// The aircraft database, read once per process by the start-up thread and only read afterwards, without
// locks. The reader is still a minimal stand-in; the tables and their look-ups are real.

namespace zeph {

// Known aircraft types and the category sets.
extern std::set<std::string> aircraftTypes;
extern std::set<std::string> largeTypes;
extern std::set<std::string> heavyTypes;
extern std::set<std::string> buzjetTypes;
extern std::set<std::string> rotorcraftTypes;
extern std::set<std::string> highPerfTypes;

// Half the wingspan in nautical miles, by type, and the mean of each AcKind for types without one.
extern std::map<std::string, double> halfSpanByType;
extern std::array<double, 6> categoryHalfSpan;
// The largest half wingspan of the database, nautical miles: taken for a user aircraft whose type has no
// wingspan. The reader is still a stand-in (temporary): tests set it.
extern double maxHalfSpan;

// What the aircraft database knows of one registration.
struct RegcodeRecord {
    std::string airl; // airline code
    std::string type; // aircraft type
    std::string opr;  // operator code
    bool cargo = false;
};

// Registration in its written form (with its dash where it has one) -> its record.
extern std::unordered_map<std::string, RegcodeRecord> regcodeTable;

// Decrypts and reads the aircraft database; true on success.
bool gf_readDbase();

// The AcKind value of a type: the first category set that holds it, in the order large (2), heavy (3),
// buzjet (1), rotorcraft (5), high performance (4); 0 (Light) for a type in none of them.
int gf_categoryOfType(const std::string& type);

// False for the empty string, else whether the type is a known aircraft type.
bool gf_isKnownAircraftType(const std::string& type);

// Half the wingspan in nautical miles; for a type without a wingspan, the mean of its category.
double gf_wingspanOfType(const std::string& type);

} // namespace zeph
