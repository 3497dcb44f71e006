#pragma once
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <variant>
#include <vector>

// BGL scenery files with airport sections, built from the file layout alone: header, section table,
// subsection tables, airport records (0x3C, or 0xAB with an extended parking list) and their name, helipad
// and parking subrecords. Every size, count, offset and id can be overridden to build broken files.

namespace zeph::gen {

// Latitude and longitude as the file stores them.
std::uint32_t encodeLat(double latitude);
std::uint32_t encodeLon(double longitude);
// An ident of digits and capital letters, base 38, shifted left by 5 as the record holds it.
std::uint32_t packIdent(const std::string& ident);

// A record or subrecord of zeros after its header; size in bytes, header included. A size of 4 gives one
// word (id and the size's low half), which reads as 4 only when the next record's id is 0.
struct BglRaw {
    std::uint16_t id = 0x22;
    std::uint32_t size = 8;
};

struct BglName {
    std::string text;
    std::optional<std::uint32_t> size; // else 6 + text, rounded up to whole words
};

struct BglHelipad {
    double lat = 0.0;
    double lon = 0.0;
    float extent = 20.0F; // metres
    float heading = 0.0F; // degrees
};

struct BglParking {
    std::uint32_t nameCode = 0;
    std::uint32_t type = 1;
    std::uint32_t number = 1;
    float radius = 20.0F;
    float heading = 90.0F;
    double lat = 0.0;
    double lon = 0.0;
    std::uint32_t airlineCodes = 0;
};

struct BglParkingList {
    std::vector<BglParking> entries;
    std::optional<std::uint16_t> count;
};

using BglSubrecord = std::variant<BglName, BglHelipad, BglParkingList, BglRaw>;

struct BglAirport {
    bool extended = false; // 0xAB with 0xAD parking lists, else 0x3C with 0x3D
    std::string ident = "EHAM";
    std::optional<std::uint32_t> packedIdent;
    std::int32_t altitudeMm = 0;
    std::vector<BglSubrecord> subrecords;
    std::optional<std::uint32_t> size;
};

struct BglSection {
    std::uint32_t type = 3;
    std::uint32_t sizeFlag = 1;
    std::vector<BglAirport> airports;
    std::vector<BglRaw> trailing;               // records after the airports
    std::optional<std::uint32_t> tableOffset;   // of the subsection table
    std::optional<std::uint32_t> recordsOffset; // in the subsection entry
};

struct BglFile {
    std::vector<BglSection> sections;
    std::optional<std::uint32_t> headerSize;
    std::optional<std::uint32_t> sectionCount;
};

std::vector<std::uint8_t> buildBgl(const BglFile& file);
// The record of one airport alone, as buildBgl lays it out.
std::vector<std::uint8_t> buildAirportRecord(const BglAirport& airport);

void putU32(std::vector<std::uint8_t>& bytes, std::size_t offset, std::uint32_t value);
void truncateTo(std::vector<std::uint8_t>& bytes, std::size_t length);
// Writes the bytes, making the parent folders.
void writeBytes(const std::filesystem::path& file, const std::vector<std::uint8_t>& bytes);

} // namespace zeph::gen
