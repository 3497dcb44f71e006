#include "tools/simstandin/request_bytes.h"

#include <bit>
#include <cstring>

namespace zeph::test::sc {

std::string packet(std::uint32_t size, std::uint32_t packetId, std::uint32_t sendId, std::uint32_t protocol) {
    std::string bytes(size, '\0');
    put32(bytes, 0, size);
    put32(bytes, 4, protocol);
    put32(bytes, 8, packetId);
    put32(bytes, 12, sendId);
    return bytes;
}

void put32(std::string& bytes, std::size_t offset, std::uint32_t value) {
    for (std::size_t k = 0; k < 4; ++k) {
        bytes.at(offset + k) = static_cast<char>((value >> (8 * k)) & 0xFF);
    }
}

void putF32(std::string& bytes, std::size_t offset, float value) {
    put32(bytes, offset, std::bit_cast<std::uint32_t>(value));
}

void putF64(std::string& bytes, std::size_t offset, double value) {
    const auto bits = std::bit_cast<std::uint64_t>(value);
    put32(bytes, offset, static_cast<std::uint32_t>(bits & 0xFFFFFFFFU));
    put32(bytes, offset + 4, static_cast<std::uint32_t>(bits >> 32));
}

void putText(std::string& bytes, std::size_t offset, std::string_view text) {
    for (std::size_t k = 0; k < text.size(); ++k) {
        bytes.at(offset + k) = text[k];
    }
}

std::string fromHex(std::string_view hex) {
    std::string bytes;
    std::string digits;
    for (char c : hex) {
        if (c != ' ') {
            digits.push_back(c);
        }
    }
    for (std::size_t k = 0; k + 1 < digits.size(); k += 2) {
        bytes.push_back(static_cast<char>(std::stoul(digits.substr(k, 2), nullptr, 16)));
    }
    return bytes;
}

std::string toHex(std::string_view bytes) {
    static const char* digits = "0123456789abcdef";
    std::string hex;
    for (unsigned char c : bytes) {
        if (!hex.empty()) {
            hex.push_back(' ');
        }
        hex.push_back(digits[c >> 4]);
        hex.push_back(digits[c & 0xF]);
    }
    return hex;
}

std::uint32_t u32At(std::string_view bytes, std::size_t offset) {
    std::uint32_t value = 0;
    for (std::size_t k = 0; k < 4; ++k) {
        value |= static_cast<std::uint32_t>(static_cast<unsigned char>(bytes.at(offset + k))) << (8 * k);
    }
    return value;
}

std::int64_t i64At(std::string_view bytes, std::size_t offset) {
    return static_cast<std::int64_t>(static_cast<std::uint64_t>(u32At(bytes, offset)) |
                                     (static_cast<std::uint64_t>(u32At(bytes, offset + 4)) << 32));
}

float f32At(std::string_view bytes, std::size_t offset) { return std::bit_cast<float>(u32At(bytes, offset)); }

double f64At(std::string_view bytes, std::size_t offset) {
    return std::bit_cast<double>(static_cast<std::uint64_t>(i64At(bytes, offset)));
}

std::string textAt(std::string_view bytes, std::size_t offset, std::size_t width) {
    const std::string_view field = bytes.substr(offset, width);
    return std::string(field.substr(0, field.find('\0')));
}

std::string open(std::uint32_t sendId, std::uint32_t protocol, std::string_view name, std::uint32_t alias,
                 std::vector<std::uint32_t> version) {
    std::string p = packet(0x128, 0xF0000001, sendId, protocol);
    putText(p, 16, name);
    put32(p, 272, 0);
    put32(p, 276, alias);
    for (std::size_t k = 0; k < version.size() && k < 4; ++k) {
        put32(p, 280 + 4 * k, version[k]);
    }
    return p;
}

std::string subscribe(std::uint32_t sendId, std::uint32_t eventId, std::string_view name) {
    std::string p = packet(0x114, 0xF0000017, sendId);
    put32(p, 16, eventId);
    putText(p, 20, name);
    return p;
}

std::string mapEvent(std::uint32_t sendId, std::uint32_t eventId, std::string_view name) {
    std::string p = packet(0x114, 0xF0000004, sendId);
    put32(p, 16, eventId);
    putText(p, 20, name);
    return p;
}

std::string transmit(std::uint32_t sendId, std::uint32_t objectId, std::uint32_t eventId, std::uint32_t data,
                     std::uint32_t group, std::uint32_t flags) {
    std::string p = packet(0x24, 0xF0000005, sendId);
    put32(p, 16, objectId);
    put32(p, 20, eventId);
    put32(p, 24, data);
    put32(p, 28, group);
    put32(p, 32, flags);
    return p;
}

std::string addToGroup(std::uint32_t sendId, std::uint32_t group, std::uint32_t eventId) {
    std::string p = packet(0x1C, 0xF0000007, sendId);
    put32(p, 16, group);
    put32(p, 20, eventId);
    put32(p, 24, 1);
    return p;
}

std::string groupPriority(std::uint32_t sendId, std::uint32_t group, std::uint32_t priority) {
    std::string p = packet(0x18, 0xF0000009, sendId);
    put32(p, 16, group);
    put32(p, 20, priority);
    return p;
}

std::string addDatum(std::uint32_t sendId, std::uint32_t defineId, std::string_view name,
                     std::string_view units, std::uint32_t type) {
    std::string p = packet(0x220, 0xF000000C, sendId);
    put32(p, 16, defineId);
    putText(p, 20, name);
    putText(p, 276, units);
    put32(p, 532, type);
    putF32(p, 536, 0.0F);
    put32(p, 540, 0xFFFFFFFF);
    return p;
}

std::string requestData(std::uint32_t sendId, std::uint32_t requestId, std::uint32_t defineId,
                        std::uint32_t objectId, std::uint32_t period) {
    std::string p = packet(0x30, 0xF000000E, sendId);
    put32(p, 16, requestId);
    put32(p, 20, defineId);
    put32(p, 24, objectId);
    put32(p, 28, period);
    return p; // flags, origin, interval and limit stay 0
}

std::string requestByType(std::uint32_t sendId, std::uint32_t requestId, std::uint32_t defineId,
                          std::uint32_t radius, std::uint32_t objectType) {
    std::string p = packet(0x20, 0xF000000F, sendId);
    put32(p, 16, requestId);
    put32(p, 20, defineId);
    put32(p, 24, radius);
    put32(p, 28, objectType);
    return p;
}

std::string setData(std::uint32_t sendId, std::uint32_t defineId, std::uint32_t objectId, std::uint32_t count,
                    std::uint32_t unitSize, const std::string& data) {
    std::string p = packet(static_cast<std::uint32_t>(0x24 + data.size()), 0xF0000010, sendId);
    put32(p, 16, defineId);
    put32(p, 20, objectId);
    put32(p, 24, 0);
    put32(p, 28, count);
    put32(p, 32, unitSize);
    putText(p, 36, data);
    return p;
}

std::string aiCreate(std::uint32_t sendId, std::string_view title, std::string_view tail, const Init& init,
                     std::uint32_t requestId) {
    std::string p = packet(0x158, 0xF0000029, sendId);
    putText(p, 16, title);
    putText(p, 272, tail);
    putF64(p, 284, init.lat);
    putF64(p, 292, init.lon);
    putF64(p, 300, init.alt);
    putF64(p, 308, init.pitch);
    putF64(p, 316, init.bank);
    putF64(p, 324, init.heading);
    put32(p, 332, init.onGround);
    put32(p, 336, init.airspeed);
    put32(p, 340, requestId);
    return p;
}

std::string aiRelease(std::uint32_t sendId, std::uint32_t objectId, std::uint32_t requestId) {
    std::string p = packet(0x18, 0xF000002B, sendId);
    put32(p, 16, objectId);
    put32(p, 20, requestId);
    return p;
}

std::string aiRemove(std::uint32_t sendId, std::uint32_t objectId, std::uint32_t requestId) {
    std::string p = packet(0x18, 0xF000002C, sendId);
    put32(p, 16, objectId);
    put32(p, 20, requestId);
    return p;
}

std::string flightPlan(std::uint32_t sendId, std::uint32_t objectId, std::string_view path,
                       std::uint32_t requestId) {
    std::string p = packet(0x11C, 0xF000002D, sendId);
    put32(p, 16, objectId);
    putText(p, 20, path);
    put32(p, 280, requestId);
    return p;
}

namespace {

struct DatumRow {
    std::uint32_t define;
    const char* name;
    const char* units;
    std::uint32_t type;
};

// The program's definitions, in the order it builds them.
const DatumRow kDatums[] = {
    {407, "TITLE", "", 11},
    {408, "ATC MODEL", "", 6},
    {409, "SIM ON GROUND", "Bool", 2},
    {402, "Plane Latitude", "degree", 4},
    {402, "Plane Longitude", "degree", 4},
    {402, "Plane Pitch degrees", "radians", 4},
    {402, "Plane Bank degrees", "radians", 4},
    {402, "Plane Heading degrees true", "radians", 4},
    {402, "Plane Altitude", "feet", 4},
    {402, "Vertical Speed", "feet per second", 4},
    {402, "Airspeed True", "knots", 4},
    {403, "Plane Latitude", "degree", 4},
    {403, "Plane Longitude", "degree", 4},
    {403, "Plane Pitch degrees", "radians", 4},
    {403, "Plane Bank degrees", "radians", 4},
    {403, "Plane Heading degrees true", "radians", 4},
    {403, "Plane Altitude", "feet", 4},
    {403, "Plane Alt Above Ground", "feet", 4},
    {403, "Ground Velocity", "knots", 4},
    {403, "ZULU TIME", "Seconds", 2},
    {403, "ZULU DAY OF YEAR", "Number", 2},
    {403, "ZULU YEAR", "Number", 2},
    {403, "LIGHT STATES", "Mask", 2},
    {405, "Static CG to Ground", "feet", 4},
    {405, "Static Pitch", "radians", 4},
    {406, "Light On States", "Mask", 2},
    {404, "Plane Alt Above Ground", "feet", 4},
    {404, "Ground Altitude", "feet", 4},
    {404, "SIM ON GROUND", "Bool", 2},
    {404, "ATC ID", "", 6},
    {401, "SPOILERS HANDLE POSITION", "percent", 4},
    {401, "GENERAL ENG THROTTLE LEVER POSITION:1", "percent", 4},
    {401, "GENERAL ENG THROTTLE LEVER POSITION:2", "percent", 4},
};

const char* eventName(std::uint32_t id) {
    static const char* names[] = {"BEACON_LIGHTS_SET",
                                  "NAV_LIGHTS_SET",
                                  "TAXI_LIGHTS_SET",
                                  "STROBES_SET",
                                  "LANDING_LIGHTS_SET",
                                  "CABIN_LIGHTS_SET",
                                  "LOGO_LIGHTS_SET",
                                  "ALL_LIGHTS_TOGGLE",
                                  "FREEZE_LATITUDE_LONGITUDE_SET",
                                  "FREEZE_ALTITUDE_SET",
                                  "FREEZE_ATTITUDE_SET",
                                  "FLAPS_SET",
                                  "SPOILERS_SET",
                                  "GEAR_SET",
                                  "ENGINE_AUTO_START",
                                  "ENGINE_AUTO_SHUTDOWN",
                                  "THROTTLE_SET"};
    return names[id - 207];
}

} // namespace

std::vector<std::string> programSetup(std::uint32_t firstSendId) {
    std::vector<std::string> packets;
    std::uint32_t sendId = firstSendId;
    const std::pair<std::uint32_t, const char*> subscriptions[] = {
        {201, "Sim"},          {202, "ObjectAdded"}, {203, "ObjectRemoved"}, {205, "PositionChanged"},
        {206, "FlightLoaded"}, {204, "Frame"}};
    for (const auto& [id, name] : subscriptions) {
        packets.push_back(subscribe(sendId++, id, name));
    }
    for (const DatumRow& row : kDatums) {
        packets.push_back(addDatum(sendId++, row.define, row.name, row.units, row.type));
    }
    for (std::uint32_t id : {220U, 221U, 222U, 223U, 218U, 219U, 208U, 207U, 211U, 209U, 210U, 213U, 212U,
                             214U, 215U, 216U, 217U}) {
        packets.push_back(mapEvent(sendId++, id, eventName(id)));
    }
    for (std::uint32_t id :
         {208U, 207U, 211U, 209U, 210U, 213U, 212U, 214U, 218U, 219U, 220U, 222U, 223U, 215U, 216U, 217U}) {
        packets.push_back(addToGroup(sendId++, 301, id));
    }
    packets.push_back(groupPriority(sendId, 301, 1));
    return packets;
}

} // namespace zeph::test::sc
