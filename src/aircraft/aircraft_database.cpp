#include "aircraft/aircraft_database.h"

#include <algorithm>
#include <stdexcept>

#include "core/text_convert.h"

namespace zeph {

std::set<std::string> aircraftTypes;
std::set<std::string> largeTypes;
std::set<std::string> heavyTypes;
std::set<std::string> buzjetTypes;
std::set<std::string> rotorcraftTypes;
std::set<std::string> highPerfTypes;
std::set<std::string> cargoTypes;
std::vector<std::vector<std::string>> similarTypeGroups;
std::set<std::string> airlineCodes;
std::set<std::string> cargoOperatorCodes;
std::vector<std::vector<std::string>> publisherNames;
std::map<std::string, double> halfSpanByType;
std::array<double, 6> categoryHalfSpan{};
double maxHalfSpan = 0.0;
std::unordered_map<std::string, std::string, Fnv1aHash, std::equal_to<>> typeFixes;
std::set<std::string> simAddonAirports;
std::vector<ThirdPartyAirport> thirdPartyAirports;
std::unordered_map<std::string, RegcodeRecord, Fnv1aHash, std::equal_to<>> regcodeTable;

namespace {

char lowerAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool containsNoCase(std::string_view text, std::string_view part) {
    const auto found = std::search(text.begin(), text.end(), part.begin(), part.end(),
                                   [](char a, char b) { return lowerAscii(a) == lowerAscii(b); });
    return found != text.end() || part.empty();
}

// The name as UTF-8, or nothing for a name that is not: such a name matches no publisher.
std::optional<std::string> utf8Name(const std::filesystem::path& name) {
    try {
        return gf_path2s(name);
    } catch (const std::runtime_error&) {
        return std::nullopt;
    }
}

} // namespace

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

bool lf_isAirlineCode(const std::string& code) { return !code.empty() && airlineCodes.contains(code); }

double gf_wingspanOfType(const std::string& type) {
    const auto found = halfSpanByType.find(type);
    if (found != halfSpanByType.end()) {
        return found->second;
    }
    return categoryHalfSpan.at(static_cast<std::size_t>(gf_categoryOfType(type)));
}

bool gf_containsNoCase(const std::filesystem::path& text, std::string_view part) {
    const std::optional<std::string> utf8 = utf8Name(text);
    return utf8 && containsNoCase(*utf8, part);
}

std::optional<std::string> gf_findPublisherInName(const std::filesystem::path& name) {
    const std::optional<std::string> utf8 = utf8Name(name);
    if (!utf8) {
        return std::nullopt;
    }
    for (const std::vector<std::string>& publisher : publisherNames) {
        for (const std::string& variant : publisher) {
            if (utf8->find(variant) != std::string::npos || containsNoCase(*utf8, variant)) {
                return publisher.front();
            }
        }
    }
    return std::nullopt;
}

} // namespace zeph
