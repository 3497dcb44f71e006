// Learned airport files: any bytes merge into a fixed list of 20 stands or are logged, never a crash or an
// escaping exception; the list keeps sound stands. No control sink is installed.
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>

#include "airports/airport_file_format.h"
#include "airports/park_airport_file.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::filesystem::path file = std::filesystem::temp_directory_path() / "fuzz_learned_file.xml";
    {
        std::ofstream out(file, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    }
    zeph::lf_clearParkPositions();
    for (int n = 0; n < 20; ++n) {
        zeph::gf_appendStand(zeph::ParkPos("S" + std::to_string(n), {}, zeph::GeoPoint{50.0, 8.0 + n * 0.001},
                                           0.0, 20.0, false, false, false));
    }
    bool handmade = false;
    zeph::lf_readLearned(file, zeph::ApfHeader{"Sample", "stock", 364}, zeph::standList, handmade);
    for (const zeph::ParkPos& stand : zeph::standList) {
        if (stand.id.empty()) {
            __builtin_trap();
        }
    }
    return 0;
}
