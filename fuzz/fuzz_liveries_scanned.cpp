// LiveriesScanned.xml as a user may have edited it: any bytes give the liveries or one of the user errors
// 51, 52, 999 and 533; nothing else leaves the reader.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include <unistd.h>

#include "aircraft/liveries_scanned_file.h"
#include "core/errors.h"
#include "settings/data_tree.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // The reader works in the program's folder: a temp folder while it runs, and libFuzzer's own folder
    // back between inputs, since libFuzzer reads and writes its corpus by the paths it was given.
    static const std::filesystem::path home = std::filesystem::current_path();
    static const std::filesystem::path dir = [] {
        const std::filesystem::path made =
            std::filesystem::temp_directory_path() / ("fuzz_liveries_scanned." + std::to_string(::getpid()));
        std::filesystem::create_directories(made / zeph::outputDir);
        static const std::filesystem::path removed = made; // outlives the exit handler that uses it
        std::atexit([] {
            std::error_code ignored;
            std::filesystem::remove_all(removed, ignored);
        });
        return made;
    }();
    std::filesystem::current_path(dir);
    {
        std::ofstream out(zeph::liveriesScannedFile, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    }
    try {
        zeph::lf_readLiveriesScanned();
    } catch (const zeph::UserErrorException&) {
        // the file's fault, shown to the user at start-up
    }
    std::filesystem::current_path(home);
    return 0;
}
