#include "core/generations.h"

#include <string>
#include <system_error>

#include <fmt/format.h>

#include "core/log.h"

namespace zeph {

namespace {

// The mark that names the next older generation, inserted before the last dot of the name.
constexpr char generationMark = '0';

// name.ext with the mark inserted `depth` times before the dot at `dot`: name0.ext, name00.ext, ...
std::string generationName(const std::string& name, std::size_t dot, std::size_t depth) {
    return name.substr(0, dot) + std::string(depth, generationMark) + name.substr(dot);
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
    std::filesystem::copy_file(from, to, std::filesystem::copy_options::overwrite_existing, error);
    if (error) {
        gf_logLine(fmt::format("copy {} -> {} failed: {}", from.string(), to.string(), error.message()));
        ok = false;
    }
}

namespace {

// Copies the generations `depth` - 1 .. 0 of file one step down, oldest first; `caller` names the
// function in the line about a name without a dot.
bool saveGenerations(const std::filesystem::path& file, std::size_t depth, std::string_view caller) {
    const std::string name = file.string();
    const auto dot = name.rfind('.');
    if (dot == std::string::npos) {
        gf_logLine(fmt::format("{}: no dot in filename: {}", caller, name));
        return false;
    }
    bool ok = true;
    for (std::size_t older = depth; older > 1; --older) {
        lf_copyGeneration(ok, generationName(name, dot, older - 1), generationName(name, dot, older));
    }
    lf_copyGeneration(ok, file, generationName(name, dot, 1));
    return ok;
}

} // namespace

bool gf_saveUpto3GenerationsOf(const std::filesystem::path& file) {
    return saveGenerations(file, 3, "gf_saveUpto3GenerationsOf");
}

bool gf_save1GenerationOf(const std::filesystem::path& file) {
    return saveGenerations(file, 1, "gf_save1GenerationOf");
}

} // namespace zeph
