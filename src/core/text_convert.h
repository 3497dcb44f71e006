#pragma once
#include <filesystem>
#include <string>
#include <string_view>

#include "platform/wide_string.h"

namespace zeph {

// Throw std::runtime_error "wide_to_utf8: invalid UTF-16" / "utf8_to_wide: invalid UTF-8".
std::string wide_to_utf8(WideStringView text);
WideString utf8_to_wide(std::string_view text);

// A path as UTF-8 for messages and XML files. Linux paths are bytes: a name that is not UTF-8 throws
// std::runtime_error("gf_path2s: invalid UTF-8").
std::string gf_path2s(const std::filesystem::path& path);

// Windows-1252 text to UTF-8; never fails.
std::string lf_ansiToUtf8(const std::string& text);

} // namespace zeph
