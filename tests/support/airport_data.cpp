#include "support/airport_data.h"

#include <gtest/gtest.h>

#include "support/sealed_files.h"

namespace zeph::test {

void AirportsXml::seal(const std::filesystem::path& dir) const {
    const std::string inner = airportsElement ? "<airports>" + airports + "</airports>" : "<other/>";
    std::filesystem::create_directories(dir / "input");
    writeSealed(dir / "input" / "airports.enc", root ? "<root>" + inner + "</root>" : inner);
}

void ParkFileBuilder::load(pugi::xml_document& doc) const {
    const std::string text = "<root><parkpositions>" + stands + "</parkpositions></root>";
    ASSERT_TRUE(doc.load_string(text.c_str())) << text;
}

} // namespace zeph::test
