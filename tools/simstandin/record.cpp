#include "simstandin/record.h"

#include <fstream>
#include <iterator>

#include <fmt/format.h>

#include "simstandin/control.h"

namespace zeph::standin {

namespace {

using nlohmann::json;

std::string text(const json& j, const char* key) {
    return jsonTextToBytes(j.at(key).get<std::string>(), key);
}

template <typename T> std::string lineOf(const char* kind, const RecordStamp& at, const T& entry) {
    json j = entry;
    j["kind"] = kind;
    j["wall_ms"] = at.wallMs;
    j["utc_ms"] = at.utcMs;
    return j.dump();
}

void from_json(const json& j, CreationRecord& c) {
    j.at("connection").get_to(c.connection);
    j.at("sendId").get_to(c.sendId);
    j.at("requestId").get_to(c.requestId);
    j.at("objectId").get_to(c.objectId);
    c.title = text(j, "title");
    c.tailNumber = text(j, "tailNumber");
    j.at("refused").get_to(c.refused);
    j.at("code").get_to(c.code);
    const json& init = j.at("init");
    init.at("lat").get_to(c.init.lat);
    init.at("lon").get_to(c.init.lon);
    init.at("alt").get_to(c.init.alt);
    init.at("pitch").get_to(c.init.pitch);
    init.at("bank").get_to(c.init.bank);
    init.at("heading").get_to(c.init.heading);
    init.at("onGround").get_to(c.init.onGround);
    init.at("airspeed").get_to(c.init.airspeed);
}

void from_json(const json& j, ClientEventRecord& e) {
    j.at("frame").get_to(e.frame);
    j.at("connection").get_to(e.connection);
    j.at("objectId").get_to(e.objectId);
    j.at("event").get_to(e.eventName);
    j.at("data").get_to(e.data);
    j.at("groupId").get_to(e.groupId);
    j.at("flags").get_to(e.flags);
}

void from_json(const json& j, FlightPlanRecord& f) {
    j.at("connection").get_to(f.connection);
    j.at("sendId").get_to(f.sendId);
    j.at("objectId").get_to(f.objectId);
    f.path = text(j, "path");
    j.at("accepted").get_to(f.accepted);
    j.at("error").get_to(f.error);
    j.at("type").get_to(f.type);
    f.departure = text(j, "departure");
    f.destination = text(j, "destination");
}

void from_json(const json& j, Violation& v) {
    j.at("connection").get_to(v.connection);
    j.at("sendId").get_to(v.sendId);
    v.text = text(j, "text");
}

void from_json(const json& j, RecordedPosition& p) {
    j.at("frame").get_to(p.frame);
    j.at("objectId").get_to(p.objectId);
    p.tail = text(j, "tail");
    j.at("lat").get_to(p.lat);
    j.at("lon").get_to(p.lon);
    j.at("alt").get_to(p.alt);
    j.at("heading").get_to(p.headingDeg);
    j.at("pitch").get_to(p.pitchDeg);
    j.at("bank").get_to(p.bankDeg);
    j.at("groundSpeed").get_to(p.groundSpeed);
    j.at("onGround").get_to(p.onGround);
}

template <typename T> void take(const json& j, std::vector<Stamped<T>>& into) {
    Stamped<T> stamped{{j.at("wall_ms").get<std::int64_t>(), j.at("utc_ms").get<std::int64_t>()}, {}};
    from_json(j, stamped.entry);
    into.push_back(std::move(stamped));
}

// Files one parsed line into the record; false for an unknown type.
bool file(const json& j, Record& record) {
    const std::string type = j.at("kind").get<std::string>();
    if (type == "created" || type == "refused") {
        take(j, record.created);
    } else if (type == "removed") {
        take(j, record.removed);
    } else if (type == "event") {
        take(j, record.events);
    } else if (type == "flight_plan") {
        take(j, record.flightPlans);
    } else if (type == "violation") {
        take(j, record.violations);
    } else if (type == "opened" || type == "closed") {
        take(j, type == "opened" ? record.opened : record.closed);
    } else if (type == "pos") {
        take(j, record.positions);
    } else if (type == "stats") {
        take(j, record.stats);
    } else if (type == "end") {
        record.complete = true;
    } else {
        return false;
    }
    return true;
}

} // namespace

void to_json(json& j, const CreationRecord& c) {
    j = {{"connection", c.connection},
         {"sendId", c.sendId},
         {"requestId", c.requestId},
         {"objectId", c.objectId},
         {"title", bytesToJsonText(c.title)},
         {"tailNumber", bytesToJsonText(c.tailNumber)},
         {"refused", c.refused},
         {"code", c.code},
         {"init",
          {{"lat", c.init.lat},
           {"lon", c.init.lon},
           {"alt", c.init.alt},
           {"pitch", c.init.pitch},
           {"bank", c.init.bank},
           {"heading", c.init.heading},
           {"onGround", c.init.onGround},
           {"airspeed", c.init.airspeed}}}};
}

void to_json(json& j, const ClientEventRecord& e) {
    j = {{"frame", e.frame}, {"connection", e.connection}, {"objectId", e.objectId}, {"event", e.eventName},
         {"data", e.data},   {"groupId", e.groupId},       {"flags", e.flags}};
}

void to_json(json& j, const FlightPlanRecord& f) {
    j = {{"connection", f.connection},
         {"sendId", f.sendId},
         {"objectId", f.objectId},
         {"path", bytesToJsonText(f.path)},
         {"accepted", f.accepted},
         {"error", f.error},
         {"type", f.type},
         {"departure", bytesToJsonText(f.departure)},
         {"destination", bytesToJsonText(f.destination)}};
}

void to_json(json& j, const Violation& v) {
    j = {{"connection", v.connection}, {"sendId", v.sendId}, {"text", bytesToJsonText(v.text)}};
}

void to_json(json& j, const RecordedPosition& p) {
    j = {{"frame", p.frame},
         {"objectId", p.objectId},
         {"tail", bytesToJsonText(p.tail)},
         {"lat", p.lat},
         {"lon", p.lon},
         {"alt", p.alt},
         {"heading", p.headingDeg},
         {"pitch", p.pitchDeg},
         {"bank", p.bankDeg},
         {"groundSpeed", p.groundSpeed},
         {"onGround", p.onGround}};
}

std::string recordLine(const RecordStamp& at, const CreationRecord& c) {
    return lineOf(c.refused ? "refused" : "created", at, c);
}
std::string recordLine(const RecordStamp& at, const RemovalRecord& r) { return lineOf("removed", at, r); }
std::string recordLine(const RecordStamp& at, const ClientEventRecord& e) { return lineOf("event", at, e); }
std::string recordLine(const RecordStamp& at, const FlightPlanRecord& f) {
    return lineOf("flight_plan", at, f);
}
std::string recordLine(const RecordStamp& at, const Violation& v) { return lineOf("violation", at, v); }
std::string recordLine(const RecordStamp& at, const ConnectionInfo& c) {
    return lineOf(c.open ? "opened" : "closed", at, c);
}
std::string recordLine(const RecordStamp& at, const RecordedPosition& p) { return lineOf("pos", at, p); }
std::string recordLine(const RecordStamp& at, const RecordedStats& s) { return lineOf("stats", at, s); }
std::string closingRecordLine(const RecordStamp& at) { return lineOf("end", at, json::object()); }

Record parseRecord(const std::string& content) {
    Record record;
    std::size_t start = 0;
    int number = 0;
    for (std::size_t end; (end = content.find('\n', start)) != std::string::npos; start = end + 1) {
        ++number;
        const std::string line = content.substr(start, end - start);
        try {
            if (!file(json::parse(line), record)) {
                throw RecordError(fmt::format("record line {}: unknown kind", number));
            }
        } catch (const json::exception& e) {
            throw RecordError(fmt::format("record line {}: {}", number, e.what()));
        } catch (const ControlError& e) {
            throw RecordError(fmt::format("record line {}: {}", number, e.what()));
        }
    }
    return record;
}

Record readRecord(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    const std::string content{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    if (!in && !in.eof()) {
        throw RecordError(fmt::format("cannot read the record {}", path.string()));
    }
    return parseRecord(content);
}

} // namespace zeph::standin
