#include "core/generations.h"

#include <array>
#include <cerrno>
#include <cstdio>
#include <memory>
#include <string>
#include <system_error>

#include <fmt/format.h>

#include "core/atomic_file.h"
#include "core/log.h"

namespace zeph {

namespace {

// The mark that names the next older generation, inserted before the last dot of the name.
constexpr char generationMark = '0';

// name.ext with the mark inserted `depth` times before the dot at `dot`: name0.ext, name00.ext, ...
std::string generationName(const std::string& name, std::size_t dot, std::size_t depth) {
    return name.substr(0, dot) + std::string(depth, generationMark) + name.substr(dot);
}

struct CloseFile {
    void operator()(std::FILE* file) const { std::fclose(file); }
};

// The bytes of from onto out until out fails; why from could not be read is set in error.
bool copyBytes(const std::filesystem::path& from, std::ostream& out, std::error_code& error) {
    const std::unique_ptr<std::FILE, CloseFile> in(std::fopen(from.c_str(), "rb"));
    std::array<char, 64 * 1024> buffer{};
    std::size_t count = 0;
    while (in && out && (count = std::fread(buffer.data(), 1, buffer.size(), in.get())) > 0) {
        out.write(buffer.data(), static_cast<std::streamsize>(count));
    }
    if (!in || std::ferror(in.get()) != 0) {
        error.assign(errno, std::generic_category());
        return false;
    }
    return true;
}

} // namespace

void lf_copyGeneration(bool& ok, const std::filesystem::path& from, const std::filesystem::path& to) {
    std::error_code error;
    auto status = std::filesystem::status(from, error);
    if (error && status.type() != std::filesystem::file_type::not_found) {
        gf_logLine(fmt::format("exists({}): {}", from.string(), error.message()));
        ok = false;
        return;
    }
    if (!std::filesystem::exists(status)) {
        return;
    }
    // Written beside the older generation and renamed over it only when whole: a full disk or a read error
    // must not cut the copy the user falls back on.
    const auto copy = [&](std::ostream& out) { return copyBytes(from, out, error); };
    if (!writeFileAtomically(to, copy, error)) {
        gf_logLine(fmt::format("copy {} -> {} failed: {}", from.string(), to.string(), error.message()));
        ok = false;
    }
}

namespace {

using GenerationStep = void (*)(bool& ok, const std::filesystem::path& from, const std::filesystem::path& to);

// A copy step that, when the copy fails, moves the file one generation down instead: a rename needs no room,
// so a full disk cannot cost a file that its caller is about to empty.
void copyOrMoveGeneration(bool& ok, const std::filesystem::path& from, const std::filesystem::path& to) {
    bool copied = true;
    lf_copyGeneration(copied, from, to);
    if (copied) {
        return;
    }
    ok = false;
    std::error_code error;
    if (!std::filesystem::is_regular_file(from, error)) {
        return; // a folder in the file's place is no generation to keep
    }
    std::filesystem::rename(from, to, error);
    if (error) {
        gf_logLine(fmt::format("rename {} -> {} failed: {}", from.string(), to.string(), error.message()));
    }
}

// Moves the generations `depth` - 1 .. 0 of file one step down with step, oldest first; `caller` names the
// function in the line about a name without a dot.
bool saveGenerations(const std::filesystem::path& file, std::size_t depth, std::string_view caller,
                     GenerationStep step) {
    const std::string name = file.string();
    const auto dot = name.rfind('.');
    if (dot == std::string::npos) {
        gf_logLine(fmt::format("{}: no dot in filename: {}", caller, name));
        return false;
    }
    bool ok = true;
    for (std::size_t older = depth; older > 1; --older) {
        step(ok, generationName(name, dot, older - 1), generationName(name, dot, older));
    }
    step(ok, file, generationName(name, dot, 1));
    return ok;
}

} // namespace

bool gf_saveUpto3GenerationsOf(const std::filesystem::path& file) {
    return saveGenerations(file, 3, "gf_saveUpto3GenerationsOf", copyOrMoveGeneration);
}

bool gf_save1GenerationOf(const std::filesystem::path& file) {
    return saveGenerations(file, 1, "gf_save1GenerationOf", lf_copyGeneration);
}

} // namespace zeph
