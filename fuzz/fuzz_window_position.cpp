// parameters.xml as the start-up reads it for the window position, in the target's own AppData folder: a
// file that loads gives a position within its range; one that does not load is kept as parameters0.xml,
// byte for byte, and removed.
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include <pugixml.hpp>

#include "app/entry_point.h"
#include "fuzz/fuzz_support.h"
#include "settings/data_tree.h"
#include "settings/parameter_table.h"

namespace {

namespace fs = std::filesystem;
using zeph::fuzz::check;

std::string readText(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool inRange(const zeph::NumParameter<std::int32_t>& coordinate) {
    return coordinate.get() == coordinate.clamp(coordinate.get());
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const zeph::fuzz::InOwnFolder inFolder("fuzz_window_position");
    const fs::path file = zeph::parametersFile();
    const fs::path aside = file.parent_path() / "parameters0.xml";
    fs::remove(aside);
    const std::string text(reinterpret_cast<const char*>(data), size);
    {
        std::ofstream out(file, std::ios::binary | std::ios::trunc);
        out << text;
    }
    pugi::xml_document doc;
    const bool loads = static_cast<bool>(doc.load_buffer(text.data(), text.size()));
    zeph::readWindowPosition();
    check(inRange(zeph::MAIN_WINDOW_X) && inRange(zeph::MAIN_WINDOW_Y));
    if (!loads) {
        check(!fs::exists(file) && readText(aside) == text);
    }
    return 0;
}
