#pragma once
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The line readers of aircraft.cfg: "key = value" lines, [fltsim.N] headers and the IVAO name patterns.
// Written by hand, not with std::regex: a regex engine that recurses per character overflows a worker's
// stack on one long line. Each reader means exactly what its ECMAScript pattern would (case-insensitive,
// "\s" = " \t\n\v\f\r", "." = any byte but LF and CR).

namespace zeph {

// "\s*(key)\s*=\s*(.*\S)\s*" over the whole line: the value from the first to the last non-blank byte
// after '=', or nothing (also when the value holds a CR or LF).
std::optional<std::string_view> lf_parseCfgKeyLine(std::string_view line, std::string_view key);

// One reader per key; a reader that finds no match leaves out untouched and answers false.
bool lf_readTitle(std::string_view line, std::string& out);
bool lf_readSim(std::string_view line, std::string& out);
bool lf_readModel(std::string_view line, std::string& out);
bool lf_readTexture(std::string_view line, std::string& out);
bool lf_readAtcId(std::string_view line, std::string& out);
bool lf_readAtcParkingTypes(std::string_view line, std::string& out);
// The first item of the value split at ',' and trimmed.
bool lf_readAtcParkingCodes(std::string_view line, std::string& out);
// The value, or empty.
std::string lf_readAtcModel(std::string_view line);

// Plain substring tests, exact case, of the repeated-key checks.
bool lf_hasAtcIdKey(std::string_view line);           // "atc_id="
bool lf_hasAtcParkingTypesKey(std::string_view line); // "atc_parking_types"
bool lf_hasAtcParkingCodesKey(std::string_view line); // "atc_parking_codes"

// The number text of a [fltsim.N] header ("\s*\[fltsim\.(-?\d+)\]\s*"; a negative number makes the file
// invalid later), "10000" for another line holding "[fltsim." or "[FLTSIM.", empty for anything else and
// for a "//" comment.
std::string lf_parseFltSimHeader(std::string_view line);

// The [fltsim.N] sections of a file's lines, each from its header on, in file order. A section ends at the
// next header or at a line for which endsSection is true, which belongs to no section.
std::vector<std::vector<std::string>> lf_splitFltSimSections(const std::vector<std::string>& lines,
                                                             bool (*endsSection)(const std::string& line));

// The type code of a path ending in <sep>IVAO_MTL<sep>IVAO_<word><sep>aircraft?cfg (case-insensitive,
// sep '/' or '\', word [A-Za-z0-9_]+, at least one byte before), or nothing.
std::optional<std::string_view> lf_matchIvaoPath(std::string_view path);

// The airline of an IVAO title: the title begins with type (case-insensitive), then blanks, then three word
// characters; nothing otherwise.
std::optional<std::string_view> lf_matchIvaoTitle(std::string_view title, std::string_view type);

} // namespace zeph
