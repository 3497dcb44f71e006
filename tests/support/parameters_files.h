#pragma once
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace zeph::test {

// Writes parameters.xml as people leave it after editing it by hand: with or without "root" and
// "parameters", with repeated keys, elements without "name" or "value", and any values. The layout is the
// one the program writes (two-space indent, <parameter name=".." value=".." />), so untouched elements can
// be compared byte for byte.
class ParametersFileBuilder {
public:
    ParametersFileBuilder& withoutRoot();
    ParametersFileBuilder& withoutParameters();
    // Every stored key with its default, as a first start writes them, and PROGRAM_VERSION = version.
    ParametersFileBuilder& storedDefaults(std::string_view version);
    ParametersFileBuilder& parameter(std::string_view name, std::string_view value);
    ParametersFileBuilder& parameterWithoutValue(std::string_view name);
    ParametersFileBuilder& parameterWithoutName(std::string_view value);
    // Removes every element of name added so far.
    ParametersFileBuilder& without(std::string_view name);

    std::string text() const;
    void write(const std::filesystem::path& file) const;

private:
    struct Element {
        std::string name;
        std::string value;
        bool hasName = true;
        bool hasValue = true;
    };

    bool root_ = true;
    bool parameters_ = true;
    std::vector<Element> elements_;
};

// The line an element of the builder gets in the file, without its indent.
std::string parameterElementText(std::string_view name, std::string_view value);

// Damaged files: bytes that are not XML, an empty file, a folder in the file's place.
void writeNotWellFormedFile(const std::filesystem::path& file);
void writeEmptyFile(const std::filesystem::path& file);
void makeFolderInPlaceOf(const std::filesystem::path& file);

// Every parameter back to its default, PROGRAM_VERSION's default back to "", the callsign list back to one
// empty entry, the range copies back to 40 nm and 74080 m, and the AppData folder at
// appDataRoot/Corvane_P3D (created), so parameters.xml lies there.
void resetParametersForTests(const std::filesystem::path& appDataRoot);

} // namespace zeph::test
