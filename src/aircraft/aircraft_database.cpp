#include "aircraft/aircraft_database.h"

#include "state/seam_trace.h"

namespace zeph {

std::set<std::string> aircraftTypes;
std::set<std::string> largeTypes;
std::set<std::string> heavyTypes;
std::set<std::string> buzjetTypes;
std::set<std::string> rotorcraftTypes;
std::set<std::string> highPerfTypes;
std::map<std::string, double> halfSpanByType;
std::array<double, 6> categoryHalfSpan{};
double maxHalfSpan = 0.0;
std::unordered_map<std::string, RegcodeRecord> regcodeTable;

// Minimal stand-in until the aircraft data lands: the script decides.
bool gf_readDbase() {
    noteSeamCall("gf_readDbase");
    return seamScript().readDbase;
}

int gf_categoryOfType(const std::string& type) {
    // A type listed in two sets takes the first of this order.
    if (largeTypes.contains(type)) {
        return 2;
    }
    if (heavyTypes.contains(type)) {
        return 3;
    }
    if (buzjetTypes.contains(type)) {
        return 1;
    }
    if (rotorcraftTypes.contains(type)) {
        return 5;
    }
    if (highPerfTypes.contains(type)) {
        return 4;
    }
    return 0;
}

bool gf_isKnownAircraftType(const std::string& type) { return !type.empty() && aircraftTypes.contains(type); }

double gf_wingspanOfType(const std::string& type) {
    const auto found = halfSpanByType.find(type);
    if (found != halfSpanByType.end()) {
        return found->second;
    }
    return categoryHalfSpan.at(static_cast<std::size_t>(gf_categoryOfType(type)));
}

} // namespace zeph
