#pragma once
#include <set>
#include <string>

#include <pugixml.hpp>

// The reading of the aircraft database's XML document into the tables of aircraft_database.h. gf_readDbase
// (declared there) opens the sealed file and hands the document to lf_readDbaseDocument.

namespace zeph {

// Fills every table of the database from doc (empties each first, so a second reading starts clean).
// Throws UserErrorException 61 for an empty required section.
void lf_readDbaseDocument(const pugi::xml_document& doc);

// Every comma-separated piece of attribute in the elements element of section, trimmed; an empty value
// gives no piece. Throws UserErrorException 61 when out is still empty afterwards.
void lf_readXmlSection(const pugi::xml_document& doc, const char* section, std::set<std::string>& out,
                       const char* element, const char* attribute);
// The attribute "types" of section's elements into a fresh set, assigned to target.
void lf_readTypeSet(const pugi::xml_document& doc, const char* section, std::set<std::string>& target,
                    const char* element);
// The attribute "codes" of section's "ICAO" elements into a fresh set, assigned to target.
void lf_readCodeSet(const pugi::xml_document& doc, const char* section, std::set<std::string>& target);
// Appends one entry per "thirdpartieP3D" element; a missing section adds nothing.
void lf_readThirdPartyAirports(const pugi::xml_document& doc);
// The attribute's value, empty when absent.
std::string lf_xmlAttributeString(pugi::xml_node node, const std::string& name);

} // namespace zeph
