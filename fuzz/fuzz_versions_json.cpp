// versions.json comes from the maker's web site, or from whatever answers in its place: any bytes must give
// a version or none for every section, never an exception or a crash.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include <nlohmann/json.hpp>

#include "update/version_check.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const nlohmann::json versions = nlohmann::json::parse(text, nullptr, false);
    try {
        for (const std::string_view section : {"p3d", "airports", "aig", "liveries", "addons", "dbase"}) {
            (void)zeph::lf_webVersion(versions, section);
        }
    } catch (...) {
        std::abort();
    }
    return 0;
}
