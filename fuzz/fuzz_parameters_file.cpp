// parameters.xml as a user may leave it: any bytes are read at the start of a run, and the file left behind
// always parses with root/parameters, whatever was there before.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include <unistd.h>

#include <pugixml.hpp>

#include "settings/data_tree.h"
#include "settings/parameters_file.h"

namespace {

// One AppData folder per fuzzing process, removed at exit.
struct FuzzAppData {
    FuzzAppData()
        : folder(std::filesystem::temp_directory_path() /
                 ("corvane-fuzz-parameters-" + std::to_string(::getpid()))) {
        std::filesystem::create_directories(folder);
        zeph::setAppDataDirForTests(folder);
    }
    ~FuzzAppData() {
        std::error_code ignored;
        std::filesystem::remove_all(folder, ignored);
    }
    std::filesystem::path folder;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static FuzzAppData appData;
    const std::filesystem::path file = zeph::parametersFile();
    {
        std::ofstream out(file, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    }
    zeph::gf_readParameters();
    pugi::xml_document document;
    if (!document.load_file(file.c_str())) {
        __builtin_trap();
    }
    pugi::xml_node root = document.child("root");
    if (!(root ? root : pugi::xml_node(document)).child("parameters")) {
        __builtin_trap();
    }
    return 0;
}
