#pragma once
#include <cstdint>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "airports/stands.h"

// The park airport's file as read, and what the window shows of it (parkAirportLoaded and rtTrafficWeek
// live with the window's state).

namespace zeph {

// The header of the park airport file.
struct ApfHeader {
    std::string airport_name;
    std::string publisher;
    std::int32_t altitude = 0; // feet
};

// The park airport's header; traffic thread.
extern ApfHeader apfHeader;
// (Qf_real, Qf_soft) of the park airport, each 0..100, or (-1, -1) when no stand has a use; traffic thread.
extern std::pair<std::int32_t, std::int32_t> parkQf;
// The learned file the last read chose, where the save writes; empty: the publisher's folder. Traffic thread.
extern std::filesystem::path apfLearnedFile;
// The last learned file was not read to its end, so its first save keeps the old file aside. Traffic thread.
extern bool learnedMergeIncomplete;

// Reads the park airport's file (a local reference in place, else downloaded into
// airports/park_airport.xml), merges its learned file and fills standList, the header, parkQf and what the
// window shows. Empty on success, else the failure's text. UserErrorException 65 (no "altitude"), 93 and 94
// (bad stand ids) pass to the caller. Traffic thread.
std::string gf_readApf(const std::string& reference, ApfHeader& header);
// Merges one learned file into stands (standList): its settings, changed radii and cargo flags, hand-made
// stands and uses, or, with "handmade", the whole airport. Problems are logged; a merge that ends early
// sets learnedMergeIncomplete. Traffic thread.
void lf_readLearned(const std::filesystem::path& learnedFile, const ApfHeader& header,
                    std::vector<ParkPos>& stands, bool& handmade);

// (Qf_real, Qf_soft) of standList, or of the stands given, from their stands' uses, weighted by radius.
std::pair<std::int32_t, std::int32_t> lf_qualityFactor();
std::pair<std::int32_t, std::int32_t> lf_qualityFactor(const std::vector<ParkPos>& stands);
// parkQf as shown: two blanks when both are negative, " 6/ 0" below 45, else Qf_real alone.
std::string lf_qualityText();

} // namespace zeph
