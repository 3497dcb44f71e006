#include "gen/demo/scene.h"

#include <array>
#include <fstream>

#include <fmt/format.h>
#include <pugixml.hpp>

namespace zeph::gen {

namespace {

using nlohmann::json;

struct Context {
    const Scene& scene;
    const std::map<std::string, LocalPoint>& points;
    std::string callsign;

    [[noreturn]] void fail(const std::string& what) const {
        throw SceneError(fmt::format("scene: {}: {}", callsign, what));
    }
};

// Stand ids are one or two capital letters and a number ("A12", "F3"); other names are the scene's points.
bool looksLikeStand(const std::string& name) {
    std::size_t letters = 0;
    while (letters < name.size() && name[letters] >= 'A' && name[letters] <= 'Z') {
        ++letters;
    }
    const std::size_t digits = name.size() - letters;
    return letters >= 1 && letters <= 2 && digits >= 1 && digits <= 3 &&
           name.find_first_not_of("0123456789", letters) == std::string::npos;
}

LocalPoint pointOf(const Context& context, const json& value) {
    if (value.is_array() && value.size() == 2 && value[0].is_number() && value[1].is_number()) {
        return {value[0].get<double>(), value[1].get<double>()};
    }
    if (!value.is_string()) {
        context.fail("a point is a name or [x, y]");
    }
    const std::string name = value.get<std::string>();
    if (const auto stand = context.scene.stands.find(name); stand != context.scene.stands.end()) {
        return stand->second.at;
    }
    if (const auto point = context.points.find(name); point != context.points.end()) {
        return point->second;
    }
    context.fail((looksLikeStand(name) ? "unknown stand " : "unknown point ") + name);
}

std::vector<LocalPoint> pathOf(const Context& context, const json& value, std::size_t least) {
    std::vector<LocalPoint> path;
    if (value.is_array() && !(value.size() == 2 && value[0].is_number())) {
        for (const json& item : value) {
            path.push_back(pointOf(context, item));
        }
    } else {
        path.push_back(pointOf(context, value));
    }
    if (path.size() < least) {
        context.fail(fmt::format("a path needs at least {} points", least));
    }
    return path;
}

double numberOf(const Context& context, const json& leg, const char* key) {
    if (!leg.contains(key) || !leg[key].is_number()) {
        context.fail(fmt::format("leg without a number '{}'", key));
    }
    return leg[key].get<double>();
}

std::pair<double, double> pairOf(const Context& context, const json& leg, const char* key) {
    if (!leg.contains(key) || !leg[key].is_array() || leg[key].size() != 2 || !leg[key][0].is_number() ||
        !leg[key][1].is_number()) {
        context.fail(fmt::format("leg without a pair '{}'", key));
    }
    return {leg[key][0].get<double>(), leg[key][1].get<double>()};
}

void readKind(const Context& context, const json& item, Leg& leg) {
    static const std::array<std::pair<const char*, LegKind>, 6> kinds{{{"parked", LegKind::Parked},
                                                                       {"push", LegKind::Push},
                                                                       {"taxi", LegKind::Taxi},
                                                                       {"roll", LegKind::Roll},
                                                                       {"air", LegKind::Air},
                                                                       {"circle", LegKind::Circle}}};
    for (const auto& [name, kind] : kinds) {
        if (!item.contains(name)) {
            continue;
        }
        leg.kind = kind;
        const bool onePoint = kind == LegKind::Parked || kind == LegKind::Circle;
        leg.path = pathOf(context, item[name], onePoint ? 1 : 2);
        if (onePoint && leg.path.size() != 1) {
            context.fail(fmt::format("a {} leg has one point", name));
        }
        if (kind == LegKind::Parked) {
            const auto stand = item[name].is_string()
                                   ? context.scene.stands.find(item[name].get<std::string>())
                                   : context.scene.stands.end();
            if (item.contains("heading")) {
                leg.headingDeg = numberOf(context, item, "heading");
            } else if (stand != context.scene.stands.end()) {
                leg.headingDeg = stand->second.headingDeg;
            } else {
                context.fail("a parked leg off a stand needs a heading");
            }
        }
        return;
    }
    context.fail("a leg is parked, push, taxi, roll, air or circle");
}

Leg readLeg(const Context& context, const json& item) {
    if (!item.is_object()) {
        context.fail("a leg is an object");
    }
    Leg leg;
    readKind(context, item, leg);
    leg.from = numberOf(context, item, "from");
    leg.to = numberOf(context, item, "to");
    if (leg.from < 0 || leg.to < leg.from) {
        context.fail(fmt::format("leg times {} to {} do not run forward", leg.from, leg.to));
    }
    leg.trueHeading = item.value("trueHeading", true);
    leg.track = item.value("track", true);
    if (item.contains("headings")) {
        leg.pushHeadings = pairOf(context, item, "headings");
    }
    if (leg.kind == LegKind::Roll) {
        std::tie(leg.speedFromKt, leg.speedToKt) = pairOf(context, item, "kt");
    }
    if (leg.kind == LegKind::Air) {
        const json alts = item.contains("alts") ? item["alts"] : json::array();
        for (const json& alt : alts) {
            if (!alt.is_number()) {
                context.fail("an altitude is a number");
            }
            leg.alts.push_back(alt.get<double>());
        }
        if (leg.alts.size() != leg.path.size()) {
            context.fail("an air leg needs one altitude per point");
        }
    }
    if (leg.kind == LegKind::Circle) {
        leg.radiusMetres = numberOf(context, item, "radius");
        leg.altFt = numberOf(context, item, "alt");
        leg.speedKt = numberOf(context, item, "kt");
        leg.phaseDeg = item.value("phase", 0.0);
    }
    return leg;
}

std::vector<Leg> readLegs(const Context& context, const json& list) {
    if (!list.is_array() || list.empty()) {
        context.fail("no legs");
    }
    std::vector<Leg> legs;
    for (const json& item : list) {
        legs.push_back(readLeg(context, item));
        if (legs.size() > 1 && legs.back().from < legs[legs.size() - 2].to) {
            context.fail(fmt::format("leg from {} starts before the leg before ends", legs.back().from));
        }
    }
    return legs;
}

std::string textOf(const Context& context, const json& item, const char* key, bool required = true) {
    if (!item.contains(key)) {
        if (required) {
            context.fail(fmt::format("no '{}'", key));
        }
        return {};
    }
    if (!item[key].is_string()) {
        context.fail(fmt::format("'{}' is not text", key));
    }
    return item[key].get<std::string>();
}

SceneAircraft readAircraft(const Scene& scene, const std::map<std::string, LocalPoint>& points,
                           const json& item) {
    Context context{scene, points, "#?"};
    if (!item.is_object()) {
        context.fail("an aircraft is an object");
    }
    SceneAircraft aircraft;
    aircraft.n = item.value("n", 0);
    context.callsign = item.contains("callsign") && item["callsign"].is_string()
                           ? item["callsign"].get<std::string>()
                           : fmt::format("#{}", aircraft.n);
    aircraft.callsign = textOf(context, item, "callsign");
    aircraft.type = textOf(context, item, "type");
    aircraft.reg = textOf(context, item, "reg", false);
    aircraft.from = textOf(context, item, "from", false);
    aircraft.to = textOf(context, item, "to", false);
    aircraft.category = item.value("category", std::string("A3"));
    const std::string hexid = textOf(context, item, "hexid");
    std::size_t used = 0;
    try {
        aircraft.hexid = static_cast<std::uint32_t>(std::stoul(hexid, &used, 16));
    } catch (const std::exception&) {
        used = 0;
    }
    if (used == 0 || used != hexid.size() || aircraft.hexid <= 10000) {
        context.fail("hexid " + hexid + " is not a hex number above 10000");
    }
    aircraft.legs = readLegs(context, item.contains("legs") ? item["legs"] : json());
    if (!item.contains("short")) {
        aircraft.shortLegs = aircraft.legs;
    } else if (!item["short"].is_boolean()) {
        aircraft.shortLegs = readLegs(context, item["short"]);
    } else if (item["short"].get<bool>()) {
        aircraft.shortLegs = aircraft.legs;
    }
    aircraft.expect = item.value("expect", nlohmann::ordered_json::object());
    if (aircraft.expect.contains("stand")) {
        pointOf(context, aircraft.expect["stand"]); // an expected stand the airport lacks is a fault too
    }
    return aircraft;
}

std::map<std::string, LocalPoint> readPoints(const json& scene) {
    std::map<std::string, LocalPoint> points;
    const json pointList = scene.contains("points") ? scene["points"] : json::object();
    for (const auto& [name, value] : pointList.items()) {
        if (!value.is_array() || value.size() != 2 || !value[0].is_number() || !value[1].is_number()) {
            throw SceneError(fmt::format("scene: points: {} is not [x, y]", name));
        }
        points[name] = {value[0].get<double>(), value[1].get<double>()};
    }
    return points;
}

} // namespace

std::map<std::string, Stand> readStands(const std::filesystem::path& airportFile, const std::string& originId,
                                        double xBearingDeg, LocalFrame& frame) {
    pugi::xml_document doc;
    if (const pugi::xml_parse_result parsed = doc.load_file(airportFile.c_str()); !parsed) {
        throw SceneError(fmt::format("scene: {}: {}", airportFile.filename().string(), parsed.description()));
    }
    const pugi::xml_node origin =
        doc.child("root").child("parkpositions").find_child_by_attribute("parkpos", "id", originId.c_str());
    if (!origin) {
        throw SceneError(fmt::format("scene: {}: no stand {}", airportFile.filename().string(), originId));
    }
    frame = LocalFrame({origin.attribute("latitude").as_double(), origin.attribute("longitude").as_double()},
                       xBearingDeg);
    std::map<std::string, Stand> stands;
    for (const pugi::xml_node parkpos : doc.child("root").child("parkpositions").children("parkpos")) {
        const GeoDegrees at{parkpos.attribute("latitude").as_double(),
                            parkpos.attribute("longitude").as_double()};
        stands[parkpos.attribute("id").as_string()] = {frame.toLocal(at),
                                                       parkpos.attribute("heading").as_double(),
                                                       parkpos.attribute("radius").as_double()};
    }
    return stands;
}

Scene parseScene(const std::filesystem::path& airportFile, const json& input) {
    if (!input.is_object()) {
        throw SceneError("scene: the scene is not a JSON object");
    }
    Scene scene;
    scene.stands = readStands(airportFile, input.value("origin", std::string("A1")),
                              input.value("xBearing", 90.0), scene.frame);
    scene.groundFt = input.value("ground", 0.0);
    scene.endAfter = input.value("endAfter", 0.0);
    scene.shortEndAfter = input.value("shortEndAfter", 0.0);
    scene.user = input.value("user", nlohmann::ordered_json::object());
    scene.world = {{"clock", input.value("clock", std::string())},
                   {"refuseTitles", input.value("refuseTitles", json::array())}};
    scene.statics = input.value("statics", nlohmann::ordered_json::array());
    scene.logLines = input.value("logLines", nlohmann::ordered_json::array());
    const std::map<std::string, LocalPoint> points = readPoints(input);
    const json aircraftList = input.contains("aircraft") ? input["aircraft"] : json::array();
    const json faultList = input.contains("faults") ? input["faults"] : json::array();
    for (const json& item : aircraftList) {
        scene.aircraft.push_back(readAircraft(scene, points, item));
    }
    for (const json& item : faultList) {
        const Context context{scene, points, item.value("like", std::string("#?"))};
        scene.faults.push_back({numberOf(context, item, "at"), context.callsign,
                                static_cast<std::size_t>(numberOf(context, item, "field")),
                                textOf(context, item, "text")});
    }
    return scene;
}

Scene readScene(const std::filesystem::path& airportFile, const std::filesystem::path& sceneFile) {
    std::ifstream in(sceneFile, std::ios::binary);
    if (!in) {
        throw SceneError(fmt::format("scene: {}: cannot be read", sceneFile.filename().string()));
    }
    const json input = json::parse(in, nullptr, false);
    if (input.is_discarded()) {
        throw SceneError(fmt::format("scene: {}: not JSON", sceneFile.filename().string()));
    }
    return parseScene(airportFile, input);
}

} // namespace zeph::gen
