#include "airports/bgl_airport_record.h"

#include <array>
#include <bit>
#include <cmath>
#include <cstring>
#include <limits>
#include <stdexcept>

#include <fmt/format.h>

#include "airports/airport_database.h"
#include "airports/scan_log.h"
#include "core/geodesy.h"
#include "core/log.h"
#include "core/strings.h"
#include "core/text_convert.h"

namespace zeph {

namespace {

constexpr std::uint16_t kNameId = 0x19;
constexpr std::uint16_t kHelipadId = 0x26;
constexpr std::uint16_t kParkingId = 0x3D;
constexpr std::uint16_t kExtendedParkingId = 0xAD;
constexpr std::size_t kMaxNameBytes = 45;

float wordAsFloat(std::uint32_t word) { return std::bit_cast<float>(word); }

double bglLatitude(std::uint32_t u) { return 90.0 - u * 3.3527612686157227e-7; }
double bglLongitude(std::uint32_t u) { return u * 4.470348358154297e-7 - 180.0; }

bool isValidPosition(GeoPoint p) {
    const bool inRange = p.lat >= -90.0 && p.lat <= 90.0 && p.lon >= -180.0 && p.lon <= 180.0;
    return inRange && (std::fabs(p.lat) > 0.0001 || std::fabs(p.lon) > 0.0001);
}

std::string positionText(GeoPoint p) { return fmt::format("{:.6f},{:.6f}", p.lat, p.lon); }

// A heading in degrees to radians; north is stored as 2 pi, and so is a heading that is no number.
double headingRadians(float degrees) {
    const double radians = static_cast<double>(degrees) * kDegToRad;
    return (radians == 0.0 || !std::isfinite(radians)) ? kTwoPi : radians;
}

std::string standPrefix(std::uint32_t nameCode) {
    static const std::array<const char*, 12> prefixes{"",   "r",   "p",  "np",  "ep", "sep",
                                                      "sp", "swp", "wp", "nwp", "g",  ""};
    if (nameCode < prefixes.size()) {
        return prefixes[nameCode];
    }
    if (nameCode <= 37) {
        return std::string(1, static_cast<char>('A' + (nameCode - 12)));
    }
    return "";
}

bool isValidUtf8(const std::string& text) {
    try {
        (void)utf8_to_wide(text);
        return true;
    } catch (const std::runtime_error&) {
        return false;
    }
}

// A name or helipad subrecord that is too small is an event line; any other a plain one.
void logSubrecordTooSmall(std::uint16_t id, std::size_t index) {
    const std::string text = fmt::format("   Warning: decodeSizeAtBoundary returned 0 at o3 = {}", index);
    if (id == kNameId || id == kHelipadId) {
        gf_logLine(text);
    } else {
        lf_logAndFlush(text);
    }
}

void logLoopCap(int which, std::string_view what) {
    gf_logLine(fmt::format("Error: Maximum loop iterations reached ({}) {} possible corrupt {}", which,
                           kLogDash, what));
}

} // namespace

std::uint32_t bglWord(BglWords words, std::size_t index) {
    if (index >= words.size()) {
        throw std::out_of_range(fmt::format("BGL word {} past the end ({} words)", index, words.size()));
    }
    return words[index];
}

std::uint16_t bglRecordId(BglWords words, std::size_t index) {
    return static_cast<std::uint16_t>(bglWord(words, index) & 0xFFFFU);
}

std::uint32_t bglRecordSize(BglWords words, std::size_t index) {
    return (bglWord(words, index) >> 16) | (bglWord(words, index + 1) << 16);
}

bool lf_isSupportedByRealTraffic(std::string& code) {
    if (code.size() != 3 && code.size() != 4) {
        return false;
    }
    for (char& c : code) {
        c = static_cast<char>(gf_toUpperChar(static_cast<unsigned char>(c)));
    }
    if (code.size() != 4) {
        return false;
    }
    if (gf_isKnownAirport(code)) {
        return true;
    }
    gf_addScanLogLine(fmt::format("{} is not an airport supported by RealTraffic ", code));
    return false;
}

std::string lf_decodeBglIcao(std::uint32_t packed, bool& ok) {
    ok = false;
    std::uint32_t value = packed >> 5;
    std::string reversed;
    bool valid = true;
    do {
        const std::uint32_t digit = value % 38;
        value /= 38;
        if (digit < 2) {
            valid = false;
            reversed += '?';
        } else {
            reversed += static_cast<char>(digit < 12 ? '0' + (digit - 2) : 'A' + (digit - 12));
        }
    } while (value != 0);
    std::string code(reversed.rbegin(), reversed.rend());
    if (valid && code.size() <= 10) {
        ok = lf_isSupportedByRealTraffic(code);
    }
    return code;
}

std::string lf_decodeAirportNAME(BglWords words, std::size_t index) {
    if (index + 1 >= words.size()) {
        return "";
    }
    const std::size_t low = bglWord(words, index) >> 16;
    const std::size_t length = low < 6 ? 0 : std::min(low - 6, kMaxNameBytes);
    if (length == 0) {
        return "";
    }
    // The name's bytes start at byte 6 of the subrecord; only words inside the file are taken.
    const std::size_t first = index * 4 + 6;
    const std::size_t available = words.size() * 4 - first;
    std::string name(std::min(length, available), '\0');
    std::memcpy(name.data(), reinterpret_cast<const char*>(words.data()) + first, name.size());
    if constexpr (std::endian::native != std::endian::little) {
        for (std::size_t i = 0; i < name.size(); ++i) {
            name[i] = static_cast<char>((words[(first + i) / 4] >> (8 * ((first + i) % 4))) & 0xFFU);
        }
    }
    // Bytes 2 and 3 of word index + 1, then whole words from index + 2, then the last 1 to 3 bytes.
    const std::size_t wholeWords = length > 2 ? (length - 2) / 4 : 0;
    if (index + 2 + wholeWords > words.size()) {
        lf_logAndFlush(fmt::format("! name blocks truncated at o3={}, available={}", index,
                                   words.size() - std::min(words.size(), index + 2)));
    } else if (name.size() < length) {
        // Only the last bytes lie past the file's end: their word cannot be read.
        lf_logAndFlush(fmt::format("{} EXCEPTION", "lf_decodeAirportNAME"));
    }
    while (!name.empty() && name.back() == '\0') {
        name.pop_back();
    }
    return isValidUtf8(name) ? name : lf_ansiToUtf8(name);
}

ApfData lf_decodeAirportBasicData(BglWords words, std::size_t record, bool extended, std::size_t sizeWords) {
    ApfData airport;
    const auto millimetres = static_cast<std::int32_t>(bglWord(words, record + 5));
    const double feet = std::round(millimetres * 3.2808399 / 1000.0);
    airport.altitude = (feet < -20.0 || feet > 10000.0) ? 0 : static_cast<std::int32_t>(feet);
    // The names lie inside the airport record: a stray name record after it is no name of this airport.
    const std::size_t end = std::min(words.size(), record + sizeWords);
    std::size_t index = bglFirstSubrecord(record, extended);
    for (int steps = 0; index + 1 < end; ++steps) {
        if (steps == kBglLoopCap) {
            logLoopCap(3, "Airport Basic data or malformed input.");
            break;
        }
        const std::uint32_t size = bglRecordSize(words, index);
        const std::uint16_t id = bglRecordId(words, index);
        if (id == kNameId) {
            std::string text = lf_decodeAirportNAME(words, index);
            airport.airportName = airport.airportName.empty() || airport.airportName == text ? text : "";
        }
        if (size < 4) {
            logSubrecordTooSmall(id, index);
            break;
        }
        index += size / 4;
    }
    return airport;
}

std::optional<std::string> lf_uniqueStandIds(const std::string& id, std::set<std::string>& idSet,
                                             const std::filesystem::path& bglFile) {
    if (idSet.insert(id).second) {
        return id;
    }
    for (const char letter : std::string_view("abcdefghij")) {
        std::string candidate = id + letter;
        if (idSet.insert(candidate).second) {
            return candidate;
        }
    }
    gf_addScanLogLine(
        fmt::format("===> Warning: more than 10 duplicate IDs {} in {}", id, gf_path2s(bglFile)));
    return std::nullopt;
}

void lf_addBglParking(BglWords words, std::size_t index, ApfData& airport, BglAirportWalk& walk,
                      bool extended) {
    const std::uint32_t count = bglWord(words, index + 1) >> 16;
    std::size_t entry = index + 2;
    for (std::uint32_t n = 0; n < count; ++n) {
        const std::uint32_t head = bglWord(words, entry);
        const std::size_t next = entry + 9 + (head >> 24) + (extended ? 1 : 0);
        const float radius = wordAsFloat(bglWord(words, entry + 1));
        const std::uint32_t type = (head >> 8) & 0xFU;
        if (!(radius > 1.0F && radius < 200.0F)) {
            gf_addScanLogLine(
                fmt::format("Skipped position with radius {:.1F} m in {}", radius, gf_path2s(walk.bglFile)));
        } else if (((0xCFFEU >> type) & 1U) != 0) {
            const GeoPoint position{bglLatitude(bglWord(words, entry + 8)),
                                    bglLongitude(bglWord(words, entry + 7))};
            const std::string id = standPrefix(head & 0x3FU) + std::to_string((head >> 12) & 0xFFFU);
            std::optional<std::string> unique;
            if (!isValidPosition(position)) {
                gf_addScanLogLine(fmt::format("LatLon {} invalid (skipped)", positionText(position)));
            } else if ((unique = lf_uniqueStandIds(id, walk.standIds, walk.bglFile))) {
                const bool ramp = ((0x40FEU >> type) & 1U) != 0;
                airport.stands.emplace_back(std::move(*unique), std::vector<StandUse>{}, position,
                                            headingRadians(wordAsFloat(bglWord(words, entry + 2))), radius,
                                            type == 5, ramp, false);
            }
        }
        entry = next;
    }
}

void lf_addBglHelipad(BglWords words, std::size_t index, ApfData& airport, BglAirportWalk& walk) {
    const GeoPoint position{bglLatitude(bglWord(words, index + 4)), bglLongitude(bglWord(words, index + 3))};
    const float extent = wordAsFloat(bglWord(words, index + 7));
    const float heading = wordAsFloat(bglWord(words, index + 8));
    if (!isValidPosition(position)) {
        gf_addScanLogLine("lat/lon helipad incorrect (skipped): " + positionText(position));
        return;
    }
    for (const GeoPoint& other : walk.helipads) {
        if (std::fabs(other.lat - position.lat) < 1e-8 && std::fabs(other.lon - position.lon) < 1e-8) {
            gf_addScanLogLine("double helipad " + airport.airportName + " (skipped) " +
                              positionText(position));
            return;
        }
    }
    // A helipad without a usable size would give a stand nothing fits on, or no number in its file.
    if (!(extent > 0.0F && std::isfinite(extent))) {
        gf_addScanLogLine(
            fmt::format("Skipped helipad with size {:.1F} m in {}", extent, gf_path2s(walk.bglFile)));
        return;
    }
    walk.helipads.push_back(position);
    airport.stands.emplace_back(fmt::format("helipad{}", walk.helipadCounter), std::vector<StandUse>{},
                                position, headingRadians(heading), extent / 2.0, false, false, true);
    ++walk.helipadCounter;
}

namespace {

// The subrecords of the airport up to its first parking list.
void walkSubrecords(BglWords words, std::size_t record, bool extended, std::size_t sizeWords,
                    ApfData& airport, BglAirportWalk& walk) {
    const std::size_t end = record + sizeWords;
    const std::uint16_t parkingId = extended ? kExtendedParkingId : kParkingId;
    std::size_t index = bglFirstSubrecord(record, extended);
    for (int steps = 0; index < end; ++steps) {
        if (steps == kBglLoopCap) {
            logLoopCap(1, "SIA or malformed input");
            return;
        }
        if (index >= words.size()) {
            lf_logAndFlush(fmt::format("   Error: o3={} exceeded data buffer size ({}), aborting.", index,
                                       words.size()));
            return;
        }
        const std::uint16_t id = bglRecordId(words, index);
        const std::uint32_t size = bglRecordSize(words, index);
        if (id == kHelipadId) {
            lf_addBglHelipad(words, index, airport, walk);
        } else if (id == parkingId) {
            lf_addBglParking(words, index, airport, walk, extended);
            return;
        }
        if (size < 4) {
            logSubrecordTooSmall(id, index);
            return;
        }
        index += size / 4;
    }
}

} // namespace

void lf_processAirportRecord(BglWords words, std::size_t record, bool extended, std::size_t sizeWords,
                             const std::string& code, const std::filesystem::path& bglFile,
                             const BglAirportSink& sink) {
    ApfData airport;
    airport.code = code;
    std::uint32_t archivedStands = 0;
    const bool linked = sink.link(airport, archivedStands, bglFile);
    ApfData basic = lf_decodeAirportBasicData(words, record, extended, sizeWords);
    airport.altitude = basic.altitude;
    airport.airportName = std::move(basic.airportName);
    BglAirportWalk walk{bglFile, {}, {}, 1};
    walkSubrecords(words, record, extended, sizeWords, airport, walk);
    const std::size_t stands = airport.stands.size();
    const bool simaddon = airport.publisher == "simaddon";
    if (stands > archivedStands && !simaddon) {
        gf_addScanLogLine(
            fmt::format("===> {} has {} parkpos while archived one has {}", code, stands, archivedStands));
    }
    if (!(linked && (stands <= archivedStands || simaddon))) {
        sink.generate(airport, walk.helipadCounter);
    }
}

} // namespace zeph
