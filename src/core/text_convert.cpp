#include "core/text_convert.h"

#include <stdexcept>

#include "platform/codepage.h"

namespace zeph {

std::string wide_to_utf8(WideStringView text) {
    if (text.empty()) {
        return {};
    }
    auto converted = utf16ToUtf8(text);
    if (!converted) {
        throw std::runtime_error("wide_to_utf8: invalid UTF-16");
    }
    return std::move(*converted);
}

WideString utf8_to_wide(std::string_view text) {
    if (text.empty()) {
        return {};
    }
    auto converted = utf8ToUtf16(text);
    if (!converted) {
        throw std::runtime_error("utf8_to_wide: invalid UTF-8");
    }
    return std::move(*converted);
}

std::string gf_path2s(const std::filesystem::path& path) {
    const std::string& bytes = path.native();
    if (!isValidUtf8(bytes)) {
        throw std::runtime_error("gf_path2s: invalid UTF-8");
    }
    return bytes;
}

std::string lf_ansiToUtf8(const std::string& text) {
    if (text.empty()) {
        return {};
    }
    // Every Windows-1252 byte has a UTF-16 value, so the second conversion cannot fail.
    return utf16ToUtf8(cp1252ToUtf16(text)).value_or(std::string{});
}

} // namespace zeph
