#pragma once
#include <filesystem>
#include <string>

#include <pugixml.hpp>

// Airport files for tests, built from attribute texts as they stand in the files ("code=\"EHAM\" ...").

namespace zeph::test {

// The airport database; withoutRoot puts "airports" at the top, withoutAirports leaves it out.
struct AirportsXml {
    std::string airports;
    bool root = true;
    bool airportsElement = true;

    AirportsXml& airport(const std::string& attributes) {
        airports += "<airport " + attributes + "/>";
        return *this;
    }
    AirportsXml& withoutRoot() {
        root = false;
        return *this;
    }
    AirportsXml& withoutAirports() {
        airportsElement = false;
        return *this;
    }
    // Sealed into dir/input/airports.enc.
    void seal(const std::filesystem::path& dir) const;
};

// A park-airport file: "parkpos" elements with whole "opt" elements inside.
struct ParkFileBuilder {
    std::string stands;

    ParkFileBuilder& stand(const std::string& attributes, const std::string& opts = "") {
        stands += "<parkpos " + attributes + ">" + opts + "</parkpos>";
        return *this;
    }
    // Loaded into doc; fails the test when it does not parse.
    void load(pugi::xml_document& doc) const;
};

} // namespace zeph::test
