#pragma once
#include <cstdint>
#include <string>
#include <tuple>

// One scanned livery: one [fltsim.N] section of an aircraft.cfg that the scan accepted.

namespace zeph {

struct LiveryData {
    std::string airl;  // airline code, "ZZZ" for a generic livery, "PVT" when the section gave none
    std::string type;  // aircraft type code, after the type fixes
    std::string title; // the name the simulator creates the aircraft by; unique within one scan
    std::string atcid; // registration, or empty
    std::uint32_t folderNumber = 0; // livery folder 1 to 10
    bool cargo = false;

    // An empty record stands for no record.
    bool isEmpty() const {
        return airl.empty() && type.empty() && title.empty() && atcid.empty() && folderNumber == 0 && !cargo;
    }

    // The folder a livery was found in does not make it another livery.
    friend bool operator==(const LiveryData& a, const LiveryData& b) {
        return a.title == b.title && a.airl == b.airl && a.type == b.type && a.atcid == b.atcid &&
               a.cargo == b.cargo;
    }
    // By airline, type and title, each byte-wise.
    friend bool operator<(const LiveryData& a, const LiveryData& b) {
        return std::tie(a.airl, a.type, a.title) < std::tie(b.airl, b.type, b.title);
    }
};

// Both liveries have the same airline and the same type.
inline bool gf_sameAirlineType(const LiveryData& a, const LiveryData& b) {
    return a.airl == b.airl && a.type == b.type;
}

} // namespace zeph
