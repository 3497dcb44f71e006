#include "support/airport_data.h"

#include <gtest/gtest.h>

#include "support/sealed_files.h"

namespace zeph::test {

AirportsXml& AirportsXml::airport(const std::string& attributes) {
    airports_ += "<airport " + attributes + " />";
    return *this;
}

AirportsXml& AirportsXml::withoutRoot() {
    root_ = false;
    return *this;
}

AirportsXml& AirportsXml::withoutAirports() {
    airportsElement_ = false;
    return *this;
}

std::string AirportsXml::text() const {
    const std::string airports = airportsElement_ ? "<airports>" + airports_ + "</airports>" : "<other/>";
    return root_ ? "<root>" + airports + "</root>" : airports;
}

void AirportsXml::seal(const std::filesystem::path& dir) const {
    std::filesystem::create_directories(dir / "input");
    writeSealed(dir / "input" / "airports.enc", text());
}

ParkFileBuilder& ParkFileBuilder::parameter(const std::string& name, const std::string& value) {
    parameters_ += "<parameter name=\"" + name + "\" value=\"" + value + "\" />";
    return *this;
}

ParkFileBuilder& ParkFileBuilder::stand(const std::string& attributes, const std::string& opts) {
    stands_ += "<parkpos " + attributes + ">" + opts + "</parkpos>";
    return *this;
}

std::string ParkFileBuilder::text() const {
    return "<root><parameters>" + parameters_ + "</parameters><parkpositions>" + stands_ +
           "</parkpositions></root>";
}

void ParkFileBuilder::load(pugi::xml_document& doc) const {
    ASSERT_TRUE(doc.load_string(text().c_str())) << text();
}

} // namespace zeph::test
