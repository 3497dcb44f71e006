#include "settings/xml_parameters.h"

namespace zeph {

namespace {

constexpr const char* kParameter = "parameter";
constexpr const char* kName = "name";
constexpr const char* kValue = "value";

template <class V> bool appendParameter(pugi::xml_node parent, const std::string& key, V value) {
    pugi::xml_node element = parent.append_child(kParameter);
    if (!element) {
        return false;
    }
    pugi::xml_attribute name = element.append_attribute(kName);
    pugi::xml_attribute valueAttribute = element.append_attribute(kValue);
    return name && valueAttribute && name.set_value(key.c_str()) && valueAttribute.set_value(value);
}

} // namespace

bool gf_appendStringParameter(pugi::xml_node parent, const std::string& key, const std::string& value) {
    return appendParameter(parent, key, value.c_str());
}

bool gf_appendBoolParameter(pugi::xml_node parent, const std::string& key, bool value) {
    return appendParameter(parent, key, value);
}

bool gf_appendIntParameter(pugi::xml_node parent, const std::string& key, std::int32_t value) {
    return appendParameter(parent, key, value);
}

bool gf_appendBoolAttribute(pugi::xml_node node, const char* name, bool value) {
    pugi::xml_attribute attribute = node.append_attribute(name);
    return attribute && attribute.set_value(value);
}

pugi::xml_node gf_rootChild(pugi::xml_node document, const char* name) {
    pugi::xml_node root = document.child("root");
    return (root ? root : document).child(name);
}

pugi::xml_node findParameterElement(pugi::xml_node document, std::string_view key) {
    for (pugi::xml_node element : gf_rootChild(document, "parameters").children(kParameter)) {
        pugi::xml_attribute name = element.attribute(kName);
        if (name && name.value() == key) {
            return element;
        }
    }
    return {};
}

std::optional<bool> gf_getBoolParameter(pugi::xml_node document, std::string_view key) {
    pugi::xml_node element = findParameterElement(document, key);
    if (!element) {
        return std::nullopt;
    }
    return element.attribute(kValue).as_bool(false);
}

std::optional<std::int32_t> gf_getIntParameter(pugi::xml_node document, std::string_view key) {
    pugi::xml_node element = findParameterElement(document, key);
    if (!element) {
        return std::nullopt;
    }
    return element.attribute(kValue).as_int(0);
}

std::optional<std::string> gf_getStringParameter(pugi::xml_node document, std::string_view key) {
    pugi::xml_node element = findParameterElement(document, key);
    if (!element) {
        return std::nullopt;
    }
    return std::string(element.attribute(kValue).as_string(""));
}

} // namespace zeph
