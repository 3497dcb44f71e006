#include "core/generations.h"

#include <string>
#include <system_error>

#include <fmt/format.h>

#include "core/log.h"

namespace zeph {

namespace {

// The mark that names the next older generation, inserted before the last dot of the name.
constexpr std::string_view generationMark = "0";

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
    std::string first = name, second, third;
    first.insert(dot, generationMark);
    second = first;
    second.insert(dot, generationMark);
    third = second;
    third.insert(dot, generationMark);

    bool ok = true;
    lf_copyGeneration(ok, second, third);
    lf_copyGeneration(ok, first, second);
    lf_copyGeneration(ok, file, first);
    return ok;
}

bool gf_save1GenerationOf(const std::filesystem::path& file) {
    std::string name = file.string();
    auto dot = name.rfind('.');
    if (dot == std::string::npos) {
        gf_logLine(fmt::format("gf_save1GenerationOf: no dot in filename: {}", name));
        return false;
    }
    std::string first = name;
    first.insert(dot, generationMark);
    bool ok = true;
    lf_copyGeneration(ok, file, first);
    return ok;
}

} // namespace zeph
