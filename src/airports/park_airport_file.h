#pragma once
#include <cstdint>
#include <filesystem>
#include <string>
#include <utility>

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

// (Qf_real, Qf_soft) of standList, from its stands' uses, weighted by radius.
std::pair<std::int32_t, std::int32_t> lf_qualityFactor();
// parkQf as shown: two blanks when both are negative, " 6/ 0" below 45, else Qf_real alone.
std::string lf_qualityText();

} // namespace zeph
