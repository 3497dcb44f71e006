#include "gen/demo/demo_files.h"

#include <algorithm>
#include <cmath>
#include <fstream>
#include <numbers>
#include <stdexcept>
#include <system_error>
#include <vector>

#include <fmt/format.h>
#include <nlohmann/json.hpp>

#include "gen/demo/reports.h"
#include "rtfeed/traffic_line.h"

namespace zeph::gen {

namespace {

using nlohmann::ordered_json;

struct Entry {
    double at;
    std::string datagram;
};

// Divides by the inverse of the unit, so that 4.6 stays 4.6 and does not print as 4.6000000000000005.
double roundTo(double value, double unit) { return std::round(value / unit) / std::round(1 / unit); }

std::string nullable(const std::string& text) { return text.empty() ? "null" : text; }

std::string datagramOf(const SceneAircraft& aircraft, const Report& report, const LocalFrame& frame) {
    rtfeed::TrafficLine line;
    const GeoDegrees geo = frame.toGeo(report.where);
    line.hexid = aircraft.hexid;
    line.latitude = geo.lat;
    line.longitude = geo.lon;
    line.altitude = std::round(report.altFt);
    line.verticalRate = std::round(report.verticalFpm);
    line.track = report.trackDeg;
    line.groundSpeed = roundTo(report.speedKt, 0.1);
    line.callsign = aircraft.callsign;
    line.type = aircraft.type;
    line.registration = nullable(aircraft.reg);
    line.from = nullable(aircraft.from);
    line.to = nullable(aircraft.to);
    line.trueAirspeed = report.onGround ? -1 : roundTo(report.speedKt, 0.1);
    line.roll = 0;
    line.category = aircraft.category;
    line.set(14, "{now}");
    // The receiver reads the true heading only from ADS-B lines, so a line without one names no source.
    line.source = report.trueHeadingDeg ? "adsb_icao" : "";
    line.trueHeading = report.trueHeadingDeg.value_or(0);
    if (!report.trueHeadingDeg) {
        line.set(25, "");
    }
    return line.toDatagram();
}

const std::vector<Leg>* legsFor(const SceneAircraft& aircraft, bool cut) {
    if (!cut) {
        return &aircraft.legs;
    }
    return aircraft.shortLegs ? &*aircraft.shortLegs : nullptr;
}

std::string scenarioText(const std::string& title, std::vector<Entry> entries) {
    std::stable_sort(entries.begin(), entries.end(),
                     [](const Entry& a, const Entry& b) { return a.at < b.at; });
    std::string text =
        "# " + title + "; written by gen_demo. Seconds from the first position line, then the line.\n";
    for (const Entry& entry : entries) {
        text += fmt::format("{:.1f} T {}\n", entry.at, entry.datagram);
    }
    return text;
}

ordered_json reportPolyline(const std::vector<Report>& reports, const LocalFrame& frame) {
    ordered_json points = ordered_json::array();
    for (const Report& report : reports) {
        const GeoDegrees geo = frame.toGeo(report.where);
        points.push_back({report.at, roundTo(geo.lat, 1e-6), roundTo(geo.lon, 1e-6), std::round(report.altFt),
                          report.onGround});
    }
    return points;
}

ordered_json aircraftExpect(const SceneAircraft& aircraft, const std::vector<Report>& reports,
                            const LocalFrame& frame, bool cut) {
    ordered_json expect = {{"n", aircraft.n},
                           {"callsign", aircraft.callsign},
                           {"hexid", aircraft.hexid},
                           {"reg", aircraft.reg},
                           {"type", aircraft.type}};
    ordered_json own = aircraft.expect;
    if (cut && own.contains("short")) {
        const ordered_json patch = own["short"]; // merge_patch must not read what it changes
        own.merge_patch(patch);
    }
    own.erase("short");
    expect.update(own);
    expect["firstReport"] = reports.front().at;
    expect["lastReport"] = reports.back().at;
    if (own.contains("removalAfterLast")) {
        const double last = reports.back().at;
        expect["removal"] = {last + own["removalAfterLast"][0].get<double>(),
                             last + own["removalAfterLast"][1].get<double>()};
    }
    expect["reports"] = reportPolyline(reports, frame);
    return expect;
}

Entry faultEntry(const Scene& scene, const FaultLine& fault,
                 const std::map<std::string, std::vector<Report>>& seen) {
    const auto aircraft = std::find_if(scene.aircraft.begin(), scene.aircraft.end(),
                                       [&](const SceneAircraft& a) { return a.callsign == fault.like; });
    const auto reports = seen.find(fault.like);
    if (aircraft == scene.aircraft.end() || reports == seen.end()) {
        throw SceneError(
            fmt::format("scene: {}: a fault line copies an aircraft the scene does not fly", fault.like));
    }
    const auto nearest = std::min_element(reports->second.begin(), reports->second.end(),
                                          [&](const Report& a, const Report& b) {
                                              return std::abs(a.at - fault.at) < std::abs(b.at - fault.at);
                                          });
    std::string datagram = datagramOf(*aircraft, *nearest, scene.frame);
    // Replace the one field: split at the commas, put the text in, join again.
    std::vector<std::string> fields;
    for (std::size_t start = 0;;) {
        const std::size_t comma = datagram.find(',', start);
        fields.push_back(datagram.substr(start, comma - start));
        if (comma == std::string::npos) {
            break;
        }
        start = comma + 1;
    }
    fields.resize(std::max(fields.size(), fault.field + 1));
    fields[fault.field] = fault.text;
    return {fault.at, fmt::format("{}", fmt::join(fields, ","))};
}

struct Variant {
    std::string scenario;
    std::string expect;
};

Variant buildVariant(const Scene& scene, bool cut) {
    std::vector<Entry> entries;
    std::map<std::string, std::vector<Report>> seen;
    ordered_json aircraft = ordered_json::array();
    for (const SceneAircraft& one : scene.aircraft) {
        const std::vector<Leg>* legs = legsFor(one, cut);
        if (legs == nullptr) {
            continue;
        }
        const std::vector<Report> reports = reportsOf(*legs, scene.frame, scene.groundFt);
        for (const Report& report : reports) {
            entries.push_back({report.at, datagramOf(one, report, scene.frame)});
        }
        aircraft.push_back(aircraftExpect(one, reports, scene.frame, cut));
        seen[one.callsign] = reports;
    }
    ordered_json faults = ordered_json::array();
    for (const FaultLine& fault : scene.faults) {
        if (seen.count(fault.like) != 0 || !cut) {
            entries.push_back(faultEntry(scene, fault, seen));
            faults.push_back(
                {{"at", fault.at}, {"like", fault.like}, {"field", fault.field}, {"text", fault.text}});
        }
    }
    const ordered_json expect = {{"endAfter", cut ? scene.shortEndAfter : scene.endAfter},
                                 {"ground", scene.groundFt},
                                 {"aircraft", aircraft},
                                 {"statics", scene.statics},
                                 {"faults", faults},
                                 {"logLines", scene.logLines}};
    return {scenarioText(cut ? "The demo scene, cut short" : "The demo scene", std::move(entries)),
            expect.dump(2) + "\n"};
}

std::string worldText(const Scene& scene) {
    const std::string userStand = scene.user.value("stand", std::string("A1"));
    const auto stand = scene.stands.find(userStand);
    if (stand == scene.stands.end()) {
        throw SceneError(fmt::format("scene: user: unknown stand {}", userStand));
    }
    const GeoDegrees at = scene.frame.toGeo(stand->second.at);
    const ordered_json world = {{"setGround", {{"feet", scene.groundFt}}},
                                {"setUser",
                                 {{"lat", roundTo(at.lat, 1e-6)},
                                  {"lon", roundTo(at.lon, 1e-6)},
                                  {"alt", scene.groundFt},
                                  {"headingDeg", stand->second.headingDeg},
                                  {"groundSpeed", 0},
                                  {"onGround", true},
                                  {"lightMask", 1},
                                  {"title", scene.user.value("title", std::string("Standin A320"))},
                                  {"atcModel", scene.user.value("atcModel", std::string("A320"))},
                                  {"atcId", scene.user.value("atcId", std::string("D-ASTA"))}}},
                                {"setClock", {{"utc", scene.world["clock"]}}},
                                {"setSimRunning", {{"running", true}}},
                                {"refuseTitles", {{"titles", scene.world["refuseTitles"]}}}};
    return world.dump(4) + "\n";
}

// Circling traffic for the soak: aircraft k starts at k/2 seconds, 2 to 9 nm out, 3000 to 9000 ft,
// 180 to 250 kt, each with the airline, type and registration of one of the scene's aircraft. The
// registration matters: only one the database knows as cargo gets a cargo livery (UPS's B763 has no other).
std::string soakText(const Scene& scene, const SoakOptions& soak) {
    struct Pair {
        std::string airline, type, reg;
    };
    std::vector<Pair> pairs;
    for (const SceneAircraft& one : scene.aircraft) {
        const std::string airline = one.callsign.substr(0, 3);
        if (one.expect.value("role", std::string()) != "provocation" &&
            std::none_of(pairs.begin(), pairs.end(),
                         [&](const Pair& p) { return p.airline == airline && p.type == one.type; })) {
            pairs.push_back({airline, one.type, one.reg});
        }
    }
    if (pairs.empty()) {
        throw SceneError("scene: soak: the scene has no aircraft to copy");
    }
    std::vector<Entry> entries;
    const double end = soak.minutes * 60.0;
    for (int k = 0; k < soak.aircraft; ++k) {
        const Pair& pair = pairs[static_cast<std::size_t>(k) % pairs.size()];
        SceneAircraft one;
        one.callsign = fmt::format("{}{}", pair.airline, 5000 + k);
        one.type = pair.type;
        one.reg = pair.reg;
        one.hexid = 0x500000U + static_cast<std::uint32_t>(k);
        one.category = "A3";
        Leg circle;
        circle.kind = LegKind::Circle;
        circle.from = k * 0.5;
        circle.to = end;
        circle.path = {{0, 0}};
        circle.radiusMetres = 1852.0 * (2 + (k * 37 % 71) / 10.0);
        circle.altFt = 3000 + (k * 53 % 61) * 100;
        circle.speedKt = 180 + (k * 29 % 71);
        circle.phaseDeg = (k * 137) % 360;
        if (circle.from >= end) {
            break;
        }
        for (const Report& report : reportsOf({circle}, scene.frame, scene.groundFt)) {
            entries.push_back({report.at, datagramOf(one, report, scene.frame)});
        }
    }
    return scenarioText(fmt::format("Soak: {} aircraft circling for {} minutes", soak.aircraft, soak.minutes),
                        std::move(entries));
}

} // namespace

std::map<std::string, std::string> buildDemoFiles(const Scene& scene, const SoakOptions& soak) {
    const Variant full = buildVariant(scene, false);
    const Variant cut = buildVariant(scene, true);
    return {{"scenario.scn", full.scenario},     {"expect.json", full.expect},
            {"short.scn", cut.scenario},         {"short-expect.json", cut.expect},
            {"soak.scn", soakText(scene, soak)}, {"world.json", worldText(scene)}};
}

void writeFilesAtomically(const std::filesystem::path& folder,
                          const std::map<std::string, std::string>& files) {
    std::filesystem::create_directories(folder);
    std::vector<std::filesystem::path> temps;
    const auto removeTemps = [&temps] {
        for (const auto& temp : temps) {
            std::error_code ignored;
            std::filesystem::remove(temp, ignored);
        }
    };
    for (const auto& [name, content] : files) {
        temps.push_back(folder / (name + ".tmp-gen"));
        std::ofstream out(temps.back(), std::ios::binary | std::ios::trunc);
        out << content;
        out.flush();
        if (!out) {
            removeTemps();
            throw std::runtime_error("cannot write " + (folder / name).string());
        }
    }
    auto temp = temps.begin();
    for (const auto& entry : files) {
        std::filesystem::rename(*temp++, folder / entry.first);
    }
}

} // namespace zeph::gen
