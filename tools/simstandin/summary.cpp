#include "simstandin/summary.h"

#include <algorithm>
#include <map>
#include <regex>
#include <set>
#include <tuple>
#include <utility>

#include <fmt/format.h>
#include <fmt/ranges.h>

namespace zeph::standin {

namespace {

bool isStatic(const std::string& tail) { return tail.ends_with('*'); }

// Callsign -> stand of every "<stand>: <callsign> parked" line. The program writes a static's callsign with
// its '*'; the key is the callsign without it either way.
std::map<std::string, std::string> parkedStands(std::string_view logText) {
    static const std::regex kParked(R"((\S+) *: (\S+) * parked\s*$)");
    std::map<std::string, std::string> stands;
    std::size_t start = 0;
    while (start < logText.size()) {
        const std::size_t end = std::min(logText.find('\n', start), logText.size());
        const std::string line(logText.substr(start, end - start));
        std::smatch match;
        if (std::regex_search(line, match, kParked)) {
            std::string callsign = match[2];
            if (isStatic(callsign)) {
                callsign.pop_back();
            }
            stands[callsign] = match[1];
        }
        start = end + 1;
    }
    return stands;
}

// "A3" before "A10": the letters, then the number, then the rest.
bool standBefore(const std::string& a, const std::string& b) {
    const auto key = [](const std::string& s) {
        const std::size_t digits = s.find_first_of("0123456789");
        const std::string letters = s.substr(0, digits);
        std::size_t used = 0;
        long number = -1;
        if (digits != std::string::npos) {
            number = std::stol(s.substr(digits, 9), &used);
        }
        const std::string rest = digits == std::string::npos ? "" : s.substr(digits + used);
        return std::tuple(letters, number, rest);
    };
    return key(a) < key(b);
}

// Of the live objects, how many went from the ground into the air and how many from the air onto the ground.
std::pair<int, int> takeOffsAndLandings(const Record& record, const std::set<std::uint32_t>& live) {
    std::map<std::uint32_t, bool> onGround;
    std::set<std::uint32_t> tookOff;
    std::set<std::uint32_t> landed;
    for (const auto& [at, p] : record.positions) {
        if (!live.contains(p.objectId)) {
            continue;
        }
        const auto [last, first] = onGround.try_emplace(p.objectId, p.onGround);
        if (!first && last->second != p.onGround) {
            (p.onGround ? landed : tookOff).insert(p.objectId);
            last->second = p.onGround;
        }
    }
    return {static_cast<int>(tookOff.size()), static_cast<int>(landed.size())};
}

} // namespace

RunSummary summarize(const Record& record, std::string_view logText) {
    RunSummary summary;
    const std::map<std::string, std::string> stands = parkedStands(logText);
    const auto standOf = [&](const std::string& tail) {
        const auto stand = stands.find(tail.substr(0, tail.size() - 1));
        return stand == stands.end() ? tail : stand->second;
    };
    std::set<std::uint32_t> live;
    std::map<std::uint32_t, bool> present;        // object id -> static
    std::map<std::uint32_t, std::string> statics; // object id -> tail
    std::set<std::string> refusedTails;
    std::set<std::string> againTails;
    for (const auto& [at, c] : record.created) {
        if (!c.refused && c.objectId != 0) {
            present[c.objectId] = isStatic(c.tailNumber);
        }
        if (c.refused) {
            summary.refused += isStatic(c.tailNumber) ? 0 : 1;
            refusedTails.insert(c.tailNumber);
        } else if (c.objectId != 0 && isStatic(c.tailNumber)) {
            summary.statics.push_back(standOf(c.tailNumber));
            statics[c.objectId] = c.tailNumber;
        } else if (c.objectId != 0) {
            ++summary.liveCreated;
            live.insert(c.objectId);
            if (refusedTails.contains(c.tailNumber)) {
                againTails.insert(c.tailNumber);
            }
        }
    }
    summary.createdAgain = static_cast<int>(againTails.size());
    for (const auto& [at, r] : record.removed) {
        summary.removed += r.reason == "request" && live.contains(r.objectId) ? 1 : 0;
        present.erase(r.objectId);
        if (const auto removed = statics.find(r.objectId);
            r.reason == "request" && removed != statics.end()) {
            summary.staticsRemoved.push_back(standOf(removed->second));
        }
    }
    for (const auto& [id, isStaticObject] : present) {
        ++(isStaticObject ? summary.staticNow : summary.liveNow);
    }
    for (const auto& [at, f] : record.flightPlans) {
        summary.flightPlans += live.contains(f.objectId) ? 1 : 0;
    }
    std::tie(summary.takeOffs, summary.landings) = takeOffsAndLandings(record, live);
    std::sort(summary.statics.begin(), summary.statics.end(), standBefore);
    std::sort(summary.staticsRemoved.begin(), summary.staticsRemoved.end(), standBefore);
    summary.violations = static_cast<int>(record.violations.size());
    return summary;
}

std::vector<std::string> summaryLines(const RunSummary& s) {
    std::string refusals;
    if (s.refused > 0) {
        refusals =
            s.createdAgain == s.refused
                ? fmt::format(" ({} refused by the simulator, created again)", s.refused)
                : fmt::format(" ({} refused by the simulator, {} created again)", s.refused, s.createdAgain);
    }
    std::string statics = fmt::format("static aircraft placed {}", s.statics.size());
    if (!s.statics.empty()) {
        statics += fmt::format(": {}", fmt::join(s.statics, " "));
    }
    if (!s.staticsRemoved.empty()) {
        statics += fmt::format(", removed during the run {}: {}", s.staticsRemoved.size(),
                               fmt::join(s.staticsRemoved, " "));
    }
    return {fmt::format("live aircraft created {}{}, removed {}, flight plans {}", s.liveCreated, refusals,
                        s.removed, s.flightPlans),
            fmt::format("take-offs {}, landings {}", s.takeOffs, s.landings), statics,
            fmt::format("protocol violations {}", s.violations)};
}

nlohmann::json summaryJson(const RunSummary& s) {
    return {
        {"liveCreated", s.liveCreated}, {"refused", s.refused},         {"createdAgain", s.createdAgain},
        {"removed", s.removed},         {"flightPlans", s.flightPlans}, {"takeOffs", s.takeOffs},
        {"landings", s.landings},       {"statics", s.statics},         {"staticsRemoved", s.staticsRemoved},
        {"violations", s.violations}};
}

std::string nowLine(const RunSummary& s) {
    return fmt::format("live aircraft in the simulator {}, static {}", s.liveNow, s.staticNow);
}

} // namespace zeph::standin
