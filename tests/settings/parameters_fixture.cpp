#include "settings/parameters_fixture.h"

#include <algorithm>

#include <pugixml.hpp>

#include "core/run_flags.h"
#include "settings/data_tree.h"
#include "settings/parameter_table.h"
#include "support/parameters_files.h"

namespace zeph::test {

void ParametersTest::SetUp() {
    LogFixture::SetUp();
    runStopping.store(false);
    userStopped.store(false);
    resetParametersForTests(appData_.path());
    sink_ = std::make_unique<RecordingControlSink>();
}

void ParametersTest::TearDown() {
    sink_.reset();
    runStopping.store(false);
    userStopped.store(false);
    LogFixture::TearDown();
}

std::filesystem::path ParametersTest::file() const { return parametersFile(); }

std::filesystem::path ParametersTest::generationFile() const {
    return parametersFile().parent_path() / "parameters0.xml";
}

void ParametersTest::markLog() { logMark_ = readLog().size(); }

std::vector<std::string> ParametersTest::logSinceMark() const {
    auto lines = readLog();
    lines.erase(lines.begin(), lines.begin() + static_cast<std::ptrdiff_t>(std::min(logMark_, lines.size())));
    return lines;
}

namespace {

// The XML loader is handed regular files only: it takes a folder's size for the file's.
bool loadRegularFile(pugi::xml_document& document, const std::filesystem::path& file) {
    std::error_code error;
    return std::filesystem::is_regular_file(file, error) && document.load_file(file.c_str());
}

} // namespace

ElementList fileElements(const std::filesystem::path& file) {
    ElementList elements;
    pugi::xml_document document;
    if (!loadRegularFile(document, file)) {
        return elements;
    }
    pugi::xml_node root = document.child("root");
    for (pugi::xml_node element : (root ? root : document).child("parameters").children("parameter")) {
        pugi::xml_attribute name = element.attribute("name");
        pugi::xml_attribute value = element.attribute("value");
        elements.emplace_back(name ? name.value() : "<none>", value ? value.value() : "<none>");
    }
    return elements;
}

bool parsesWithRoot(const std::filesystem::path& file) {
    pugi::xml_document document;
    return loadRegularFile(document, file) && document.child("root").child("parameters");
}

std::vector<std::string> valuesOf(const ElementList& elements, const std::string& name) {
    std::vector<std::string> values;
    for (const auto& [key, value] : elements) {
        if (key == name) {
            values.push_back(value);
        }
    }
    return values;
}

std::vector<std::string> registryKeys() {
    std::vector<std::string> keys;
    for (const auto* p : boolParameters) {
        keys.push_back(p->key);
    }
    for (const auto* p : checkBoxParameters) {
        keys.push_back(p->key);
    }
    for (const auto* p : numParameters) {
        keys.push_back(p->key);
    }
    for (const auto* p : comboParameters) {
        keys.push_back(p->key);
    }
    for (const auto* p : stringParameters) {
        keys.push_back(p->key);
    }
    for (const auto* p : editParameters) {
        keys.push_back(p->key);
    }
    return keys;
}

bool contains(const std::vector<std::string>& lines, const std::string& line) {
    return std::find(lines.begin(), lines.end(), line) != lines.end();
}

std::size_t countLines(const std::vector<std::string>& lines, const std::string& line) {
    return static_cast<std::size_t>(std::count(lines.begin(), lines.end(), line));
}

} // namespace zeph::test
