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

bool gf_saveUpto3GenerationsOf(const std::filesystem::path& file) {
    std::string name = file.string();
    auto dot = name.rfind('.');
    if (dot == std::string::npos) {
        gf_logLine(fmt::format("gf_saveUpto3GenerationsOf: no dot in filename: {}", name));
        return false;
    }
    bool ok = true;
    lf_copyGeneration(ok, generationName(name, dot, 2), generationName(name, dot, 3));
    lf_copyGeneration(ok, generationName(name, dot, 1), generationName(name, dot, 2));
    lf_copyGeneration(ok, file, generationName(name, dot, 1));
    return ok;
}

bool gf_save1GenerationOf(const std::filesystem::path& file) {
    std::string name = file.string();
    auto dot = name.rfind('.');
    if (dot == std::string::npos) {
        gf_logLine(fmt::format("gf_save1GenerationOf: no dot in filename: {}", name));
        return false;
    }
    bool ok = true;
    lf_copyGeneration(ok, file, generationName(name, dot, 1));
    return ok;
}

} // namespace zeph
