#pragma once
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <set>
#include <span>
#include <string>
#include <vector>

#include "airports/airport_file_format.h"
#include "core/geodesy.h"

// The airport records of a BGL scenery file, read from the file as little-endian 32-bit words: code, name,
// altitude, parking positions and helipads. Everything else of the scenery is stepped over. A BGL file is
// outside input: every word is read through bglWord, which throws std::out_of_range past the end.

namespace zeph {

using BglWords = std::span<const std::uint32_t>;

// Where a decoded airport goes: link tells whether it was linked to an archived file (and that file's
// stand count), generate writes its file. The scan passes the airport-file functions; tests record.
struct BglAirportSink {
    std::function<bool(ApfData&, std::uint32_t&, const std::filesystem::path&)> link;
    std::function<void(ApfData&, const std::uint32_t&)> generate;
};

// Every walk of a file, record or subrecord list stops after this many steps.
inline constexpr int kBglLoopCap = 9000;

// The word at index; std::out_of_range past the end.
std::uint32_t bglWord(BglWords words, std::size_t index);
// The record id (u16 at the record's start) and its size in bytes (u32 from byte 2).
std::uint16_t bglRecordId(BglWords words, std::size_t index);
std::uint32_t bglRecordSize(BglWords words, std::size_t index);

// The first word of an airport's subrecords.
inline std::size_t bglFirstSubrecord(std::size_t record, bool extended) {
    return record + (extended ? 15 : 14);
}

// The packed ident as text; ok only when it is valid and lf_isSupportedByRealTraffic accepts it.
std::string lf_decodeBglIcao(std::uint32_t packed, bool& ok);
// A 3- or 4-character code in upper case; true only for a 4-character code the airport database knows.
// An unknown 4-character code is noted in the scan log.
bool lf_isSupportedByRealTraffic(std::string& code);

// One airport record of sizeWords words at word index record: decoded, linked and, unless the archived
// file does, generated.
void lf_processAirportRecord(BglWords words, std::size_t record, bool extended, std::size_t sizeWords,
                             const std::string& code, const std::filesystem::path& bglFile,
                             const BglAirportSink& sink);
// Altitude (feet) and name of the airport record.
ApfData lf_decodeAirportBasicData(BglWords words, std::size_t record, bool extended, std::size_t sizeWords);
// The text of the name subrecord at index; empty when there is none.
std::string lf_decodeAirportNAME(BglWords words, std::size_t index);

// What one airport record collects besides its stands.
struct BglAirportWalk {
    const std::filesystem::path& bglFile;
    std::set<std::string> standIds;
    std::vector<GeoPoint> helipads;
    std::uint32_t helipadCounter = 1;
};

// The stands of the parking list at index.
void lf_addBglParking(BglWords words, std::size_t index, ApfData& airport, BglAirportWalk& walk,
                      bool extended);
// The helipad at index.
void lf_addBglHelipad(BglWords words, std::size_t index, ApfData& airport, BglAirportWalk& walk);
// id, or id with one letter of "abcdefghij" when id is taken; none after ten such (noted in the scan log).
std::optional<std::string> lf_uniqueStandIds(const std::string& id, std::set<std::string>& idSet,
                                             const std::filesystem::path& bglFile);

} // namespace zeph
