#include "gen/bgl_builder.h"

#include <bit>
#include <cmath>
#include <fstream>
#include <stdexcept>

namespace zeph::gen {

namespace fs = std::filesystem;

namespace {

constexpr std::uint32_t kHeaderBytes = 0x38;
constexpr std::uint32_t kSectionEntryBytes = 20;
constexpr std::uint32_t kSubsectionEntryBytes = 16;

struct Writer {
    std::vector<std::uint8_t> bytes;

    void u16(std::uint16_t v) {
        bytes.push_back(static_cast<std::uint8_t>(v));
        bytes.push_back(static_cast<std::uint8_t>(v >> 8));
    }
    void u32(std::uint32_t v) {
        u16(static_cast<std::uint16_t>(v));
        u16(static_cast<std::uint16_t>(v >> 16));
    }
    void f32(float v) { u32(std::bit_cast<std::uint32_t>(v)); }
    void zeros(std::size_t n) { bytes.insert(bytes.end(), n, 0); }
    void padToWord() { zeros((4 - bytes.size() % 4) % 4); }
    void append(const std::vector<std::uint8_t>& more) {
        bytes.insert(bytes.end(), more.begin(), more.end());
    }
};

std::uint32_t wholeWords(std::size_t bytes) { return static_cast<std::uint32_t>((bytes + 3) / 4 * 4); }

std::vector<std::uint8_t> raw(const BglRaw& record) {
    Writer w;
    if (record.size == 4 || record.size == 5) {
        // One word: the size's high half is the next record's id, as in the file.
        w.u16(record.id);
        w.u16(static_cast<std::uint16_t>(record.size));
        return w.bytes;
    }
    w.u16(record.id);
    w.u32(record.size);
    w.zeros(record.size > 6 ? record.size - 6 : 0);
    w.padToWord();
    return w.bytes;
}

std::vector<std::uint8_t> name(const BglName& sub) {
    Writer w;
    w.u16(0x19);
    w.u32(sub.size.value_or(wholeWords(6 + sub.text.size())));
    w.bytes.insert(w.bytes.end(), sub.text.begin(), sub.text.end());
    w.padToWord();
    return w.bytes;
}

std::vector<std::uint8_t> helipad(const BglHelipad& sub) {
    Writer w;
    w.u16(0x26);
    w.u32(36);
    w.zeros(6);
    w.u32(encodeLon(sub.lon));
    w.u32(encodeLat(sub.lat));
    w.zeros(8);
    w.f32(sub.extent);
    w.f32(sub.heading);
    return w.bytes;
}

std::vector<std::uint8_t> parkingList(const BglParkingList& list, bool extended) {
    Writer w;
    for (const BglParking& p : list.entries) {
        w.u32(p.nameCode | p.type << 8 | p.number << 12 | p.airlineCodes << 24);
        w.f32(p.radius);
        w.f32(p.heading);
        w.zeros(16);
        w.u32(encodeLon(p.lon));
        w.u32(encodeLat(p.lat));
        for (std::uint32_t i = 0; i < p.airlineCodes; ++i) {
            w.u32(0x4D4C4B00U + i); // a code's letters; never read
        }
        if (extended) {
            w.u32(0);
        }
    }
    Writer head;
    head.u16(extended ? 0xAD : 0x3D);
    head.u32(static_cast<std::uint32_t>(8 + w.bytes.size()));
    head.u16(list.count.value_or(static_cast<std::uint16_t>(list.entries.size())));
    head.append(w.bytes);
    return head.bytes;
}

std::vector<std::uint8_t> subrecord(const BglSubrecord& sub, bool extended) {
    if (const auto* n = std::get_if<BglName>(&sub)) {
        return name(*n);
    }
    if (const auto* h = std::get_if<BglHelipad>(&sub)) {
        return helipad(*h);
    }
    if (const auto* p = std::get_if<BglParkingList>(&sub)) {
        return parkingList(*p, extended);
    }
    return raw(std::get<BglRaw>(sub));
}

std::vector<std::uint8_t> sectionRecords(const BglSection& section) {
    Writer w;
    for (const BglAirport& airport : section.airports) {
        w.append(buildAirportRecord(airport));
    }
    for (const BglRaw& record : section.trailing) {
        w.append(raw(record));
    }
    return w.bytes;
}

} // namespace

std::uint32_t encodeLat(double latitude) {
    return static_cast<std::uint32_t>(std::llround((90.0 - latitude) * std::ldexp(1.0, 29) / 180.0));
}

std::uint32_t encodeLon(double longitude) {
    return static_cast<std::uint32_t>(std::llround((longitude + 180.0) * 3.0 * std::ldexp(1.0, 28) / 360.0));
}

std::uint32_t packIdent(const std::string& ident) {
    std::uint32_t value = 0;
    for (const char c : ident) {
        const bool digit = c >= '0' && c <= '9';
        if (!digit && (c < 'A' || c > 'Z')) {
            throw std::invalid_argument("ident characters are digits and capital letters: " + ident);
        }
        value = value * 38 + static_cast<std::uint32_t>(digit ? c - '0' + 2 : c - 'A' + 12);
    }
    return value << 5;
}

std::vector<std::uint8_t> buildAirportRecord(const BglAirport& airport) {
    Writer body;
    for (const BglSubrecord& sub : airport.subrecords) {
        body.append(subrecord(sub, airport.extended));
    }
    const std::uint32_t headerBytes = airport.extended ? 0x3C : 0x38;
    Writer w;
    w.u16(airport.extended ? 0xAB : 0x3C);
    w.u32(airport.size.value_or(static_cast<std::uint32_t>(headerBytes + body.bytes.size())));
    w.zeros(14);
    w.u32(static_cast<std::uint32_t>(airport.altitudeMm)); // byte 20
    w.zeros(16);
    w.u32(airport.packedIdent.value_or(packIdent(airport.ident))); // byte 40
    w.zeros(headerBytes - 44);
    w.append(body.bytes);
    return w.bytes;
}

std::vector<std::uint8_t> buildBgl(const BglFile& file) {
    const auto count = static_cast<std::uint32_t>(file.sections.size());
    Writer w;
    w.u32(0x00000201); // a version word; nothing reads it
    w.u32(file.headerSize.value_or(kHeaderBytes));
    w.zeros(12);
    w.u32(file.sectionCount.value_or(count));
    w.zeros(kHeaderBytes - 24);
    // Each section: its subsection table of one entry, then its records.
    std::vector<std::vector<std::uint8_t>> records;
    std::uint32_t at = kHeaderBytes + kSectionEntryBytes * count;
    std::vector<std::uint32_t> tableAt;
    for (const BglSection& section : file.sections) {
        records.push_back(sectionRecords(section));
        tableAt.push_back(at);
        at += kSubsectionEntryBytes + static_cast<std::uint32_t>(records.back().size());
    }
    for (std::size_t i = 0; i < count; ++i) {
        const BglSection& section = file.sections[i];
        w.u32(section.type);
        w.u32(section.sizeFlag);
        w.u32(1);
        w.u32(section.tableOffset.value_or(tableAt[i]));
        w.u32(kSubsectionEntryBytes);
    }
    for (std::size_t i = 0; i < count; ++i) {
        const BglSection& section = file.sections[i];
        w.u32(0);
        w.u32(static_cast<std::uint32_t>(section.airports.size() + section.trailing.size()));
        w.u32(section.recordsOffset.value_or(tableAt[i] + kSubsectionEntryBytes));
        w.u32(static_cast<std::uint32_t>(records[i].size()));
        w.append(records[i]);
    }
    return w.bytes;
}

void putU32(std::vector<std::uint8_t>& bytes, std::size_t offset, std::uint32_t value) {
    if (offset + 4 > bytes.size()) {
        bytes.resize(offset + 4, 0);
    }
    for (int i = 0; i < 4; ++i) {
        bytes[offset + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(value >> (8 * i));
    }
}

void truncateTo(std::vector<std::uint8_t>& bytes, std::size_t length) {
    bytes.resize(std::min(length, bytes.size()));
}

void writeBytes(const fs::path& file, const std::vector<std::uint8_t>& bytes) {
    if (file.has_parent_path()) {
        fs::create_directories(file.parent_path());
    }
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    if (!out) {
        throw std::runtime_error("cannot write " + file.string());
    }
}

} // namespace zeph::gen
