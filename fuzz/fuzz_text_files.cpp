// Foreign text files: whatever the bytes, detection gives a code, reading with it gives lines or false
// (never an exception), and the in-memory splitters never read past the text.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <unistd.h>

#include "core/text_files.h"

namespace {

// One scratch file per fuzzing process, removed when it ends.
struct ScratchFile {
    ScratchFile()
        : path(std::filesystem::temp_directory_path() / ("corvane-fuzz-text-" + std::to_string(::getpid()))) {
    }
    ~ScratchFile() {
        std::error_code ignored;
        std::filesystem::remove(path, ignored);
    }
    std::filesystem::path path;
};

void checkSplitters(const std::string& bytes) {
    std::vector<std::string> lines;
    zeph::lf_splitLines(bytes, lines);
    std::size_t total = 0;
    for (const auto& line : lines) {
        total += line.size();
    }
    if (total > bytes.size()) {
        __builtin_trap();
    }
    std::istringstream in(bytes);
    std::vector<std::string> streamLines;
    zeph::gf_readStreamLines(in, streamLines);
    if (streamLines != lines) {
        __builtin_trap();
    }
    for (auto code : {zeph::TextCharset::Unicode, zeph::TextCharset::UnicodeBigEndian}) {
        std::istringstream wide(bytes);
        std::vector<std::string> wideLines;
        try {
            zeph::lf_readUtf16Lines(wide, wideLines, code);
        } catch (const std::runtime_error&) {
            // an unpaired surrogate: the readers above report it
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static ScratchFile scratch;
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    {
        std::ofstream out(scratch.path, std::ios::binary | std::ios::trunc);
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        if (!out) {
            std::abort();
        }
    }
    zeph::TextCharset code = zeph::gf_detectCharset(scratch.path);
    if (static_cast<int>(code) < 0 || static_cast<int>(code) > 4) {
        __builtin_trap(); // an existing file always opens
    }
    std::vector<std::string> lines;
    (void)zeph::gf_readTextFileAs(code, scratch.path, lines);

    zeph::LineFile lineFile{scratch.path, {}};
    if (!lineFile.read(4).ok) {
        __builtin_trap();
    }
    checkSplitters(bytes);
    return 0;
}
