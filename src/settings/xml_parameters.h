#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include <pugixml.hpp>

namespace zeph {

// The "parameter" elements of parameters.xml and of the "parameters" header of the airport files:
// <parameter name="KEY" value="VALUE" />.

// Append one element under parent; true when the element and both attributes were made. A bool is
// written "true" or "false", an int in decimal, a string as it is (escaped by the XML writer).
bool gf_appendStringParameter(pugi::xml_node parent, const std::string& key, const std::string& value);
bool gf_appendBoolParameter(pugi::xml_node parent, const std::string& key, bool value);
bool gf_appendIntParameter(pugi::xml_node parent, const std::string& key, std::int32_t value);

// Appends one bool attribute to node; true when it was made.
bool gf_appendBoolAttribute(pugi::xml_node node, const char* name, bool value);

// The child `name` of "root", or of the document itself when it has no "root".
pugi::xml_node gf_rootChild(pugi::xml_node document, const char* name);

// The first "parameter" element under "parameters" (found by gf_rootChild) whose "name" is exactly key;
// a null node when there is none.
pugi::xml_node findParameterElement(pugi::xml_node document, std::string_view key);

// The value of that element, engaged whenever the element exists. Read as the XML library reads: a bool
// is true when the text begins with '1', 't', 'T', 'y' or 'Y'; an int is decimal or 0x-hex, 0 when it is
// no number and saturated when it overflows; a missing "value" gives false, 0 or "".
std::optional<bool> gf_getBoolParameter(pugi::xml_node document, std::string_view key);
std::optional<std::int32_t> gf_getIntParameter(pugi::xml_node document, std::string_view key);
std::optional<std::string> gf_getStringParameter(pugi::xml_node document, std::string_view key);

} // namespace zeph
