#pragma once
// Scenario files: what the stand-in sends, and when.
//
// UTF-8 text, one entry a line; blank lines and lines whose first non-blank character is '#' are skipped:
//     <t> T <traffic line>     a traffic datagram; every "{now}" in it becomes the UTC seconds at sending
//     <t> Q <json>             a QNH datagram
// t is seconds since the start of the scenario, a number 0 or above, never less than the line before.
#include <filesystem>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace zeph::rtfeed {

struct ScenarioEntry {
    double at = 0;       // seconds since the start
    char kind = 'T';     // 'T' traffic, 'Q' QNH
    std::string payload; // the datagram ("{now}" still in it)
    int lineNumber = 0;
};

struct Scenario {
    std::vector<ScenarioEntry> entries;
};

// A scenario that cannot be used; what() is "scenario line {}: {}" for a malformed line.
class ScenarioError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Parses a whole scenario; the first malformed line throws ScenarioError.
Scenario parseScenario(std::string_view text);
// Reads and parses a scenario file; a file that cannot be read throws ScenarioError too.
Scenario loadScenario(const std::filesystem::path& file);

// Whether text is well-formed UTF-8 (no overlong forms, surrogates or code points beyond U+10FFFF).
bool isUtf8(std::string_view text);

// The payload with every "{now}" replaced by the seconds, 2 decimals.
std::string replaceNow(std::string_view payload, double utcSeconds);

} // namespace zeph::rtfeed
