// Sealed data files from disk: any bytes opened with the program's key give the plain file or nothing, one
// logged failure at most, never a crash, and never a plain file left behind after a failure.
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>

#include <unistd.h>

#include "aircraft/data_file_crypto.h"

namespace {

const std::filesystem::path& folder() {
    static const std::filesystem::path dir = [] {
        auto path =
            std::filesystem::temp_directory_path() / ("fuzz_sealed_stream_" + std::to_string(getpid()));
        std::filesystem::create_directories(path);
        return path;
    }();
    return dir;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const auto encrypted = folder() / "input.enc";
    const auto plain = folder() / "input.xml";
    {
        std::ofstream out(encrypted, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    }
    const bool opened = zeph::gf_streamDecrypt(encrypted, plain);
    if (opened != std::filesystem::exists(plain)) {
        __builtin_trap();
    }
    zeph::gf_removeFile(plain);
    return 0;
}
