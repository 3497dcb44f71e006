#pragma once
#include <filesystem>
#include <list>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <pugixml.hpp>

// Registrations: their look-up in the aircraft database's registration table, and the two readers that tie
// livery titles to registrations (the AIG registration codes and the user's own regcode files).

namespace zeph {

// The answer of a registration look-up.
struct RegcodeInfo {
    std::string airl; // airline code
    std::string type; // aircraft type
    std::string opr;  // operator code
    bool cargo = false;
};

// One livery of a regcode file; without registrations it carries a "don't use" title.
struct RegcodeLivery {
    std::string title;
    std::list<std::string> regs;
    bool special = false;
};

// The keys a registration is looked up as, in order: for one of at least 5 characters that neither begins
// with 'N' nor holds a '-', first with a dash after two and after one character; always, last, itself.
std::vector<std::string> lf_regPrefixes(const std::string& registration);

// The record of the first candidate key that the table holds; empty for an empty or unknown registration.
std::optional<RegcodeInfo> gf_lookupRegcode(const std::string& registration);
// The airline, or the operator, of the look-up; empty when unknown.
std::string lf_regcodeAirline(const std::string& registration);
std::string lf_regcodeOperator(const std::string& registration);

// A registration key shorter than 6 characters that occurs in text (exact case): the leftmost, and of those
// the longest. The empty key is never an answer.
std::optional<std::string> lf_findRegcodeInText(const std::string& text);
// Builds the short-key index of lf_findRegcodeInText from regcodeTable; after every change of the table.
void lf_buildRegcodeIndex();

// Reads input/AIG-regcodes.xml; false when it cannot be loaded (logged, the file removed) or read with
// faults.
bool lf_readAIGregcodes(std::list<RegcodeLivery>& out);
// The loaded AIG document: false without a meta header (nothing read) or after a repeated title.
bool lf_readAIGdocument(const pugi::xml_document& doc, std::list<RegcodeLivery>& out);

// Reads every .TXT file directly in folder, in name order; false after any logged fault. Never throws.
bool lf_processRegcodeFiles(const std::filesystem::path& folder, std::list<RegcodeLivery>& out);
// One line of a user regcode file; false when it was reported as faulty.
bool lf_parseRegcodeLine(std::string_view line, const std::filesystem::path& file,
                         std::list<RegcodeLivery>& out);

} // namespace zeph
