#pragma once
#include <filesystem>
#include <string>

#include <pugixml.hpp>

// Airport files for tests, from attribute texts written as in the files ("code=\"EHAM\" iata=\"AMS\"").

namespace zeph::test {

// The airport database document; sealed into dir/input/airports.enc.
class AirportsXml {
public:
    AirportsXml& airport(const std::string& attributes);
    // "airports" at the top level instead of inside "root"; or no "airports" element at all.
    AirportsXml& withoutRoot();
    AirportsXml& withoutAirports();
    std::string text() const;
    void seal(const std::filesystem::path& dir) const;

private:
    std::string airports_;
    bool root_ = true;
    bool airportsElement_ = true;
};

// A park-airport file: header parameters and "parkpos" elements with their "opt" children.
class ParkFileBuilder {
public:
    ParkFileBuilder& parameter(const std::string& name, const std::string& value);
    // opts: whole "opt" elements, such as <opt reg="D-AIMA" day="1" hh="3" />.
    ParkFileBuilder& stand(const std::string& attributes, const std::string& opts = "");
    std::string text() const;
    // The text loaded; fails the test when it does not parse.
    void load(pugi::xml_document& doc) const;

private:
    std::string parameters_;
    std::string stands_;
};

} // namespace zeph::test
