// The commands of the control channel: argument checks and the JSON form of the queries.
#include <chrono>
#include <cmath>
#include <map>

#include <fmt/format.h>

#include "simstandin/control.h"
#include "simstandin/record.h"

namespace zeph::standin {

namespace {

using nlohmann::json;

// The fields of one command, each read with a check that names "<command>.<field>" when it fails.
class Args {
public:
    Args(const json& object, std::string command) : object_(object), command_(std::move(command)) {}

    bool has(const char* key) const { return object_.contains(key) && !object_.at(key).is_null(); }

    [[noreturn]] void fail(const char* key, const std::string& what) const {
        throw ControlError(fmt::format("{}.{}: {}", command_, key, what));
    }

    double number(const char* key) const {
        const json& value = get(key);
        if (!value.is_number() || !std::isfinite(value.get<double>())) {
            fail(key, "expected a finite number");
        }
        return value.get<double>();
    }
    std::optional<double> optNumber(const char* key) const {
        return has(key) ? std::optional<double>(number(key)) : std::nullopt;
    }

    std::int64_t integer(const char* key) const {
        const json& value = get(key);
        if (!value.is_number_integer()) {
            fail(key, "expected an integer");
        }
        return value.get<std::int64_t>();
    }

    std::uint32_t u32(const char* key) const {
        const json& value = get(key);
        if (!value.is_number_integer() || value.get<std::int64_t>() < 0 ||
            value.get<std::int64_t>() > 0xFFFFFFFFLL) {
            fail(key, "expected an integer from 0 to 4294967295");
        }
        return static_cast<std::uint32_t>(value.get<std::int64_t>());
    }
    std::optional<std::uint32_t> optU32(const char* key) const {
        return has(key) ? std::optional<std::uint32_t>(u32(key)) : std::nullopt;
    }

    bool boolean(const char* key) const {
        const json& value = get(key);
        if (!value.is_boolean()) {
            fail(key, "expected true or false");
        }
        return value.get<bool>();
    }
    std::optional<bool> optBool(const char* key) const {
        return has(key) ? std::optional<bool>(boolean(key)) : std::nullopt;
    }

    std::string text(const char* key) const {
        const json& value = get(key);
        if (!value.is_string()) {
            fail(key, "expected a string");
        }
        return jsonTextToBytes(value.get<std::string>(), command_ + "." + key);
    }
    std::optional<std::string> optText(const char* key) const {
        return has(key) ? std::optional<std::string>(text(key)) : std::nullopt;
    }

    std::vector<std::string> texts(const char* key) const {
        const json& value = get(key);
        if (!value.is_array()) {
            fail(key, "expected an array of strings");
        }
        std::vector<std::string> result;
        for (const json& item : value) {
            if (!item.is_string()) {
                fail(key, "expected an array of strings");
            }
            result.push_back(jsonTextToBytes(item.get<std::string>(), command_ + "." + key));
        }
        return result;
    }

private:
    const json& get(const char* key) const {
        if (!has(key)) {
            fail(key, "is missing");
        }
        return object_.at(key);
    }

    const json& object_;
    std::string command_;
};

std::int64_t daysFromCivil(std::int64_t y, unsigned m, unsigned d) {
    y -= m <= 2 ? 1 : 0;
    const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    const auto yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<std::int64_t>(doe) - 719468;
}

// "2024-01-01T01:00:00Z", with optional milliseconds ".250" and an optional "Z".
std::optional<std::int64_t> parseUtc(const std::string& text) {
    int year = 0;
    unsigned month = 0;
    unsigned day = 0;
    unsigned hour = 0;
    unsigned minute = 0;
    unsigned second = 0;
    unsigned millis = 0;
    int used = 0;
    if (std::sscanf(text.c_str(), "%4d-%2u-%2uT%2u:%2u:%2u%n", &year, &month, &day, &hour, &minute, &second,
                    &used) != 6) {
        return std::nullopt;
    }
    std::string rest = text.substr(static_cast<std::size_t>(used));
    if (rest.size() >= 4 && rest[0] == '.') {
        if (std::sscanf(rest.c_str(), ".%3u", &millis) != 1) {
            return std::nullopt;
        }
        rest = rest.substr(4);
    }
    if (!(rest.empty() || rest == "Z") || month < 1 || month > 12 || day < 1 || day > 31 || hour > 23 ||
        minute > 59 || second > 60) {
        return std::nullopt;
    }
    const std::int64_t days = daysFromCivil(year, month, day);
    return ((days * 86400) + hour * 3600 + minute * 60 + second) * 1000 + millis;
}

std::string hexOf(const std::string& bytes) {
    std::string out;
    for (unsigned char c : bytes) {
        out += fmt::format("{:02x}", c);
    }
    return out;
}

std::string bytesOfHex(const Args& args, const char* key) {
    const std::string hex = args.text(key);
    if (hex.size() % 2 != 0 || hex.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos) {
        args.fail(key, "expected an even number of hex digits");
    }
    std::string bytes;
    for (std::size_t k = 0; k < hex.size(); k += 2) {
        bytes.push_back(static_cast<char>(std::stoul(hex.substr(k, 2), nullptr, 16)));
    }
    return bytes;
}

json fieldsJson(const PacketFields& fields) {
    json j = json::object();
    std::visit(
        [&](const auto& p) {
            using T = std::decay_t<decltype(p)>;
            if constexpr (std::is_same_v<T, OpenPacket>) {
                j = {{"appName", bytesToJsonText(p.appName)},
                     {"reserved", p.reserved},
                     {"alias", p.alias},
                     {"version", p.version}};
            } else if constexpr (std::is_same_v<T, MapEventPacket> || std::is_same_v<T, SubscribePacket>) {
                j = {{"eventId", p.eventId}, {"name", bytesToJsonText(p.name)}};
            } else if constexpr (std::is_same_v<T, TransmitEventPacket>) {
                j = {{"objectId", p.objectId},
                     {"eventId", p.eventId},
                     {"data", p.data},
                     {"groupId", p.groupId},
                     {"flags", p.flags}};
            } else if constexpr (std::is_same_v<T, GroupAddPacket>) {
                j = {{"groupId", p.groupId}, {"eventId", p.eventId}, {"maskable", p.maskable}};
            } else if constexpr (std::is_same_v<T, GroupPriorityPacket>) {
                j = {{"groupId", p.groupId}, {"priority", p.priority}};
            } else if constexpr (std::is_same_v<T, AddDatumPacket>) {
                j = {{"defineId", p.defineId},
                     {"name", bytesToJsonText(p.name)},
                     {"units", bytesToJsonText(p.units)},
                     {"type", p.type},
                     {"epsilon", p.epsilon},
                     {"datumId", p.datumId}};
            } else if constexpr (std::is_same_v<T, RequestDataPacket>) {
                j = {{"requestId", p.requestId}, {"defineId", p.defineId}, {"objectId", p.objectId},
                     {"period", p.period},       {"flags", p.flags},       {"origin", p.origin},
                     {"interval", p.interval},   {"limit", p.limit}};
            } else if constexpr (std::is_same_v<T, RequestByTypePacket>) {
                j = {{"requestId", p.requestId},
                     {"defineId", p.defineId},
                     {"radius", p.radius},
                     {"objectType", p.objectType}};
            } else if constexpr (std::is_same_v<T, SetDataPacket>) {
                j = {{"defineId", p.defineId}, {"objectId", p.objectId}, {"flags", p.flags},
                     {"count", p.count},       {"unitSize", p.unitSize}, {"data", hexOf(p.data)}};
            } else if constexpr (std::is_same_v<T, CreateAircraftPacket>) {
                j = {{"title", bytesToJsonText(p.title)},
                     {"tailNumber", bytesToJsonText(p.tailNumber)},
                     {"lat", p.init.lat},
                     {"lon", p.init.lon},
                     {"alt", p.init.alt},
                     {"pitch", p.init.pitch},
                     {"bank", p.init.bank},
                     {"heading", p.init.heading},
                     {"onGround", p.init.onGround},
                     {"airspeed", p.init.airspeed},
                     {"requestId", p.requestId}};
            } else if constexpr (std::is_same_v<T, ObjectRequestPacket>) {
                j = {{"objectId", p.objectId}, {"requestId", p.requestId}};
            } else if constexpr (std::is_same_v<T, FlightPlanPacket>) {
                j = {{"objectId", p.objectId}, {"path", bytesToJsonText(p.path)}, {"requestId", p.requestId}};
            }
        },
        fields);
    return j;
}

json packetJson(const PacketRecord& r) {
    const std::optional<PacketKind> kind = packetKindOf(r.id);
    return {{"connection", r.connection},
            {"sendId", r.sendId},
            {"id", r.id},
            {"kind", kind ? std::string(packetKindName(*kind)) : std::string("unknown")},
            {"size", r.size},
            {"version", r.version},
            {"fields", fieldsJson(r.fields)}};
}

json objectJson(const SimObject& o) {
    static const std::map<ObjectKind, const char*> kinds = {
        {ObjectKind::User, "user"}, {ObjectKind::Ai, "ai"}, {ObjectKind::Traffic, "traffic"}};
    json j = {{"id", o.id},
              {"kind", kinds.at(o.kind)},
              {"owner", o.owner},
              {"title", bytesToJsonText(o.title)},
              {"atcModel", bytesToJsonText(o.atcModel)},
              {"atcId", bytesToJsonText(o.atcId)},
              {"lat", o.lat},
              {"lon", o.lon},
              {"alt", o.alt},
              {"pitch", o.pitch},
              {"bank", o.bank},
              {"heading", o.heading},
              {"verticalSpeed", o.verticalSpeed},
              {"airspeed", o.airspeed},
              {"groundSpeed", o.groundSpeed},
              {"onGround", o.onGround},
              {"lightMask", o.lightMask},
              {"freezeLatLon", o.freezeLatLon},
              {"freezeAltitude", o.freezeAltitude},
              {"freezeAttitude", o.freezeAttitude},
              {"released", o.released},
              {"flaps", o.flaps},
              {"gear", o.gear},
              {"spoilers", o.spoilers},
              {"throttle", o.throttle},
              {"spoilersPercent", o.spoilersPercent},
              {"throttle1Percent", o.throttle1Percent},
              {"throttle2Percent", o.throttle2Percent},
              {"engineRunning", o.engineRunning},
              {"staticCgFeet", o.staticCgFeet},
              {"staticPitchRad", o.staticPitchRad}};
    if (o.agl) {
        j["agl"] = *o.agl;
    }
    return j;
}

UserUpdate userUpdateOf(const Args& a) {
    UserUpdate u;
    u.lat = a.optNumber("lat");
    u.lon = a.optNumber("lon");
    u.alt = a.optNumber("alt");
    u.pitchDeg = a.optNumber("pitchDeg");
    u.bankDeg = a.optNumber("bankDeg");
    u.headingDeg = a.optNumber("headingDeg");
    u.groundSpeed = a.optNumber("groundSpeed");
    u.onGround = a.optBool("onGround");
    u.lightMask = a.optU32("lightMask");
    u.title = a.optText("title");
    u.atcModel = a.optText("atcModel");
    u.atcId = a.optText("atcId");
    return u;
}

TrafficSpec trafficOf(const Args& a) {
    TrafficSpec t;
    t.atcId = a.text("atcId");
    t.title = a.optText("title").value_or("");
    t.lat = a.number("lat");
    t.lon = a.number("lon");
    t.alt = a.optNumber("alt");
    t.agl = a.optNumber("agl").value_or(0.0);
    t.headingDeg = a.optNumber("headingDeg").value_or(0.0);
    t.groundSpeed = a.optNumber("groundSpeed").value_or(0.0);
    t.onGround = a.optBool("onGround").value_or(true);
    return t;
}

using Handler = std::function<json(SimStandin&, const Args&)>;

json done() { return json::object(); }

template <typename T, typename F> json listJson(const char* name, const std::vector<T>& items, F toJson) {
    json list = json::array();
    for (const T& item : items) {
        list.push_back(toJson(item));
    }
    return {{name, list}};
}

const std::map<std::string, Handler>& controlHandlers() {
    static const std::map<std::string, Handler> handlers = {
        {"setSimRunning",
         [](SimStandin& s, const Args& a) {
             s.setSimRunning(a.boolean("running"));
             return done();
         }},
        {"sendQuit",
         [](SimStandin& s, const Args& a) {
             s.sendQuit(a.optU32("connection"));
             return done();
         }},
        {"dropConnection",
         [](SimStandin& s, const Args& a) {
             s.dropConnection(a.optU32("connection"));
             return done();
         }},
        {"sendPositionChanged",
         [](SimStandin& s, const Args&) {
             s.sendPositionChanged();
             return done();
         }},
        {"sendFlightLoaded",
         [](SimStandin& s, const Args& a) {
             s.sendFlightLoaded(a.text("path"), a.optBool("asEvent").value_or(false));
             return done();
         }},
        {"stepFrames",
         [](SimStandin& s, const Args& a) {
             s.stepFrames(a.u32("count"));
             return json{{"frame", s.frame()}};
         }},
        {"advanceClock",
         [](SimStandin& s, const Args& a) {
             s.advanceClock(a.integer("ms"));
             return json{{"clockMs", s.clockMs()}};
         }},
        {"setFrameRate",
         [](SimStandin& s, const Args& a) {
             const double hz = a.number("hz");
             if (hz <= 0.0) {
                 a.fail("hz", "must be above 0");
             }
             s.setFrameRate(hz);
             return done();
         }},
        {"setUser",
         [](SimStandin& s, const Args& a) {
             s.setUser(userUpdateOf(a));
             return done();
         }},
        {"moveUser",
         [](SimStandin& s, const Args& a) {
             s.moveUser(userUpdateOf(a));
             return done();
         }},
        {"setGround",
         [](SimStandin& s, const Args& a) {
             s.setGround(a.number("feet"));
             return done();
         }},
        {"setClock",
         [](SimStandin& s, const Args& a) {
             if (a.has("utcMs")) {
                 s.setClock(a.integer("utcMs"));
                 return done();
             }
             const std::optional<std::int64_t> ms = parseUtc(a.text("utc"));
             if (!ms) {
                 a.fail("utc", "expected a time like 2024-01-01T01:00:00Z");
             }
             s.setClock(*ms);
             return done();
         }},
        {"addTraffic",
         [](SimStandin& s, const Args& a) {
             return json{{"objectId", s.addTraffic(trafficOf(a))}};
         }},
        {"removeTraffic",
         [](SimStandin& s, const Args& a) {
             return json{{"removed", s.removeTraffic(a.u32("objectId"))}};
         }},
        {"refuseTitles",
         [](SimStandin& s, const Args& a) {
             s.refuseTitles(a.texts("titles"));
             return done();
         }},
        {"installedTitles",
         [](SimStandin& s, const Args& a) {
             s.installedTitles(a.has("titles") ? std::optional(a.texts("titles")) : std::nullopt);
             return done();
         }},
        {"setStaticCg",
         [](SimStandin& s, const Args& a) {
             s.setStaticCg(a.text("title"), a.number("feet"), a.number("radians"));
             return done();
         }},
        {"creationDelayFrames",
         [](SimStandin& s, const Args& a) {
             s.creationDelayFrames(a.u32("frames"));
             return done();
         }},
        {"neverReportCreations",
         [](SimStandin& s, const Args& a) {
             s.neverReportCreations(a.boolean("on"));
             return done();
         }},
        {"objectAddedAfterNextByType",
         [](SimStandin& s, const Args& a) {
             s.objectAddedAfterNextByType(a.boolean("on"));
             return done();
         }},
        {"injectException",
         [](SimStandin& s, const Args& a) {
             s.injectException(a.u32("code"), a.u32("sendId"), a.u32("index"), a.optU32("connection"));
             return done();
         }},
        {"injectMessage",
         [](SimStandin& s, const Args& a) {
             s.injectMessage(bytesOfHex(a, "hex"), a.optU32("connection"));
             return done();
         }},
        {"splitWrites",
         [](SimStandin& s, const Args& a) {
             s.splitWrites(a.u32("bytes"), static_cast<int>(a.u32("pauseMs")));
             return done();
         }},
        {"messagesPerWrite",
         [](SimStandin& s, const Args& a) {
             s.messagesPerWrite(a.u32("count"));
             return done();
         }},
        {"zeroPadding",
         [](SimStandin& s, const Args& a) {
             s.zeroPadding(a.u32("bytes"));
             return done();
         }},
        {"sendDeclaredSize",
         [](SimStandin& s, const Args& a) {
             s.sendDeclaredSize(a.u32("size"), a.optU32("connection"));
             return done();
         }},
    };
    return handlers;
}

const std::map<std::string, Handler>& queryHandlers() {
    static const std::map<std::string, Handler> handlers = {
        {"packets",
         [](SimStandin& s, const Args& a) {
             const PacketLog log = s.packets();
             const std::optional<std::uint32_t> only = a.optU32("connection");
             json list = json::array();
             for (const PacketRecord& r : log.packets) {
                 if (!only || r.connection == *only) {
                     list.push_back(packetJson(r));
                 }
             }
             return json{{"dropped", log.dropped}, {"packets", list}};
         }},
        {"objects", [](SimStandin& s, const Args&) { return listJson("objects", s.objects(), objectJson); }},
        {"positions",
         [](SimStandin& s, const Args& a) {
             const PositionLog log = s.positions(a.u32("objectId"));
             json out = listJson("samples", log.samples, [](const PositionSample& p) {
                 return json{
                     {"frame", p.frame},      {"clockMs", p.clockMs}, {"lat", p.lat},
                     {"lon", p.lon},          {"pitch", p.pitch},     {"bank", p.bank},
                     {"heading", p.heading},  {"alt", p.alt},         {"verticalSpeed", p.verticalSpeed},
                     {"airspeed", p.airspeed}};
             });
             out["dropped"] = log.dropped;
             return out;
         }},
        {"clientEvents",
         [](SimStandin& s, const Args& a) {
             return listJson("events", s.clientEvents(a.optU32("objectId")),
                             [](const ClientEventRecord& x) { return json(x); });
         }},
        {"created",
         [](SimStandin& s, const Args&) {
             return listJson("created", s.created(), [](const CreationRecord& x) { return json(x); });
         }},
        {"removed",
         [](SimStandin& s, const Args&) {
             return listJson("removed", s.removed(), [](const RemovalRecord& x) { return json(x); });
         }},
        {"flightPlans",
         [](SimStandin& s, const Args&) {
             return listJson("flightPlans", s.flightPlans(),
                             [](const FlightPlanRecord& x) { return json(x); });
         }},
        {"violations",
         [](SimStandin& s, const Args&) {
             return listJson("violations", s.violations(), [](const Violation& x) { return json(x); });
         }},
        {"connections",
         [](SimStandin& s, const Args&) {
             return listJson("connections", s.connections(), [](const ConnectionInfo& x) { return json(x); });
         }},
        {"status",
         [](SimStandin& s, const Args&) {
             return json{{"frame", s.frame()}, {"clockMs", s.clockMs()}, {"simRunning", s.simRunning()}};
         }},
        {"waitPackets",
         [](SimStandin& s, const Args& a) {
             const bool reached =
                 s.waitPackets(a.u32("id"), a.u32("count"), std::chrono::milliseconds(a.u32("timeoutMs")));
             return json{{"reached", reached}};
         }},
    };
    return handlers;
}

} // namespace

json runCommand(SimStandin& standin, const json& command, bool& shutdown) {
    if (!command.is_object()) {
        throw ControlError("a command must be a JSON object");
    }
    if (!command.contains("cmd") || !command.at("cmd").is_string()) {
        throw ControlError("cmd: expected the command name as a string");
    }
    const std::string name = command.at("cmd").get<std::string>();
    if (name == "shutdown") {
        shutdown = true;
        return done();
    }
    const Args args(command, name);
    for (const auto* table : {&controlHandlers(), &queryHandlers()}) {
        const auto it = table->find(name);
        if (it != table->end()) {
            return it->second(standin, args);
        }
    }
    throw ControlError(fmt::format("unknown command '{}'", bytesToJsonText(name)));
}

} // namespace zeph::standin
