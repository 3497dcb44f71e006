#pragma once
#include <array>
#include <set>
#include <string>

#include <pugixml.hpp>

// The reading of the aircraft database's XML document into the tables of aircraft_database.h. gf_readDbase
// (declared there) opens the sealed file and hands the document to lf_readDbaseDocument.

namespace zeph {

// A section the database cannot go without: its elements' attribute must yield at least one code. target
// is the table the reader fills from it.
struct RequiredDbaseSection {
    const char* section;
    const char* element;
    const char* attribute;
    std::set<std::string>* target;
};
// Every required section, in the reader's order.
extern const std::array<RequiredDbaseSection, 10> requiredDbaseSections;

// Fills every table of the database from doc (empties each first, so a second reading starts clean).
// Throws UserErrorException 61 for an empty required section.
void lf_readDbaseDocument(const pugi::xml_document& doc);

// The reader's own refusal of doc, with no table touched: throws UserErrorException 61 for the first
// required section that is missing or empty, as lf_readDbaseDocument would. A download of the database is
// checked with it before it may replace the working file.
void lf_checkDbaseDocument(const pugi::xml_document& doc);

// Every comma-separated piece of attribute in the elements element of section, trimmed; an empty value
// gives no piece. Throws UserErrorException 61 when out is still empty afterwards.
void lf_readXmlSection(const pugi::xml_document& doc, const char* section, std::set<std::string>& out,
                       const char* element, const char* attribute);
// Appends one entry per "thirdpartieP3D" element; a missing section adds nothing.
void lf_readThirdPartyAirports(const pugi::xml_document& doc);
// The attribute's value, empty when absent.
std::string lf_xmlAttributeString(pugi::xml_node node, const std::string& name);

} // namespace zeph
