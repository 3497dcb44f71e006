#include "support/parameters_files.h"

#include <algorithm>
#include <fstream>
#include <stdexcept>

#include "settings/data_tree.h"
#include "settings/parameter_table.h"
#include "settings/range.h"
#include "support/temp_dir.h"

namespace zeph::test {

namespace {

// As the XML writer escapes attribute values.
std::string escaped(std::string_view text) {
    std::string out;
    for (char c : text) {
        switch (c) {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '"':
            out += "&quot;";
            break;
        default:
            out += c;
        }
    }
    return out;
}

std::string boolText(bool value) { return value ? "true" : "false"; }

void resetValue(Parameter& parameter) {
    if (auto* text = dynamic_cast<StringParameter*>(&parameter)) {
        text->setValue(text->getDefault());
    } else if (auto* flag = dynamic_cast<BoolParameter*>(&parameter)) {
        flag->setValue(flag->defaultValue);
    } else if (auto* number = dynamic_cast<NumParameter<std::int32_t>*>(&parameter)) {
        number->setValue(number->defaultValue);
    } else if (auto* hours = dynamic_cast<NumParameter<float>*>(&parameter)) {
        hours->setValue(hours->defaultValue);
    }
}

} // namespace

std::string parameterElementText(std::string_view name, std::string_view value) {
    return "<parameter name=\"" + escaped(name) + "\" value=\"" + escaped(value) + "\" />";
}

ParametersFileBuilder& ParametersFileBuilder::withoutRoot() {
    root_ = false;
    return *this;
}

ParametersFileBuilder& ParametersFileBuilder::withoutParameters() {
    parameters_ = false;
    return *this;
}

ParametersFileBuilder& ParametersFileBuilder::storedDefaults(std::string_view version) {
    for (const BoolParameter* p : boolParameters) {
        parameter(p->key, boolText(p->defaultValue));
    }
    for (const CheckBoxParameter* p : checkBoxParameters) {
        parameter(p->key, boolText(p->defaultValue));
    }
    for (const NumParameter<std::int32_t>* p : numParameters) {
        parameter(p->key, std::to_string(p->defaultValue));
    }
    for (const ComboParameter<std::int32_t>* p : comboParameters) {
        parameter(p->key, std::to_string(p->defaultValue));
    }
    for (const StringParameter* p : stringParameters) {
        parameter(p->key, p == &PROGRAM_VERSION ? std::string(version) : p->getDefault());
    }
    for (const EditParameter* p : editParameters) {
        parameter(p->key, p->getDefault());
    }
    return *this;
}

ParametersFileBuilder& ParametersFileBuilder::parameter(std::string_view name, std::string_view value) {
    elements_.push_back({std::string(name), std::string(value)});
    return *this;
}

ParametersFileBuilder& ParametersFileBuilder::parameterWithoutValue(std::string_view name) {
    elements_.push_back({std::string(name), "", true, false});
    return *this;
}

ParametersFileBuilder& ParametersFileBuilder::parameterWithoutName(std::string_view value) {
    elements_.push_back({"", std::string(value), false, true});
    return *this;
}

ParametersFileBuilder& ParametersFileBuilder::without(std::string_view name) {
    std::erase_if(elements_, [&](const Element& element) { return element.hasName && element.name == name; });
    return *this;
}

std::string ParametersFileBuilder::text() const {
    std::string out = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
    std::string indent;
    if (root_) {
        out += "<root>\n";
        indent += "  ";
    }
    if (parameters_) {
        out += indent + "<parameters>\n";
        for (const Element& element : elements_) {
            std::string line = "<parameter";
            if (element.hasName) {
                line += " name=\"" + escaped(element.name) + "\"";
            }
            if (element.hasValue) {
                line += " value=\"" + escaped(element.value) + "\"";
            }
            out += indent + "  " + line + " />\n";
        }
        out += indent + "</parameters>\n";
    }
    if (root_) {
        out += "</root>\n";
    }
    return out;
}

void ParametersFileBuilder::write(const std::filesystem::path& file) const { writeFileBytes(file, text()); }

void writeNotWellFormedFile(const std::filesystem::path& file) {
    writeFileBytes(file, "<root><parameters><parameter name=\"RANGE\" value=\"7\" ></parameters>");
}

void writeEmptyFile(const std::filesystem::path& file) { writeFileBytes(file, ""); }

void makeFolderInPlaceOf(const std::filesystem::path& file) {
    std::filesystem::create_directories(file / "inside");
}

void resetParametersForTests(const std::filesystem::path& appDataRoot) {
    PROGRAM_VERSION.setDefault("");
    for (Parameter* parameter : everyParameter) {
        resetValue(*parameter);
    }
    {
        std::lock_guard lock(callsignListMutex);
        *callsignList = {""};
    }
    lateralRangeNm.store(40.0);
    lateralRangeMeters.store(74080);
    rememberedRange.store(40);
    const std::filesystem::path folder = appDataRoot / "Corvane_P3D";
    std::filesystem::create_directories(folder);
    setAppDataDirForTests(folder);
}

} // namespace zeph::test
