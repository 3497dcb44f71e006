#pragma once
#include <atomic>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include <pugixml.hpp>

#include "airports/stands.h"

// The one XML format of the airport files: archived park airport files, generated and handmade files in
// my_thirdparty and my_ORBX, and the learned files. "root" holds "meta", "parameters" (the header) and
// "parkpositions" with one "parkpos" per stand, whose "opt" children are the stand's learned uses.

namespace zeph {

// An airport as the writer takes it.
struct ApfData {
    std::string code;
    std::string airportName;
    std::string bglPath;
    std::string publisher;
    std::int32_t unused = 0;
    std::int32_t qfReal = 0;
    std::int32_t qfSoft = 0;
    std::int32_t altitude = 0; // feet
    std::vector<ParkPos> stands;
};

// The names one "opt" element carries.
struct OptNames {
    std::string callsign;
    std::string callsign2;
    std::string airline;
    std::string type;
};

// One "parkpos" of a learned file and the stand it may belong to.
struct LearnedStandContext {
    std::string id;
    pugi::xml_node parkpos;
    bool* dropUses; // set: the stand takes the learned changes but none of the uses
};

// The active park airport's file is handmade. Atomic because scan workers write airport files too.
extern std::atomic<bool> apfHandmade;

// Writes the whole file, or nothing: mode 0 a learned file (changes and uses), mode 1 a generated airport
// file (geometry only). The parent folders are made when missing. True when the file was saved.
bool gf_writeApf(const ApfData& airport, const std::filesystem::path& file, int mode, int simulatorKind);
// Appends "parameters" with the header values; false only when "parameters" cannot be appended.
bool lf_writeAirportHeader(pugi::xml_node root, const ApfData& airport, int mode);

// Appends a stand to standList for every valid "parkpos". Throws UserErrorException 93 for a missing or
// blank id and 94 for a repeated one; the stands appended before stay.
void lf_readParkPositions(const pugi::xml_document& doc);
// Appends the stand of one "parkpos" with its uses, or nothing when its position is missing or invalid.
void lf_readParkPos(pugi::xml_node parkpos, std::string id, std::uint32_t fromParkFile);
// The callsigns of an "opt", and its airline and type (the registration table's when it knows the
// registration). Never throws.
OptNames lf_readAirlineTypeLists(pugi::xml_node opt);
// Applies a learned "parkpos" to stand when the ids are equal (then true): changed radius and cargo flag,
// and the uses that the stand does not hold yet.
bool lf_readLearnedStand(const LearnedStandContext& context, ParkPos& stand);
// A radius a learned file may give a stand: finite and above 0 (metres or nm alike).
bool isValidStandRadius(double radius);
// Same day, real flag, registration, airline and type, and a half hour in common.
bool lf_sameStandUse(const StandUse& a, const StandUse& b);

} // namespace zeph
