// Strict UTF-8 must round-trip: whatever converts to UTF-16 converts back to the same bytes, and whatever
// is refused is refused by both the validator and the converter.
#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>

#include "core/text_convert.h"
#include "platform/codepage.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string text(reinterpret_cast<const char*>(data), size);
    bool valid = zeph::isValidUtf8(text);
    try {
        zeph::WideString wide = zeph::utf8_to_wide(text);
        if (!valid || zeph::wide_to_utf8(wide) != text) {
            __builtin_trap();
        }
    } catch (const std::runtime_error&) {
        if (valid) {
            __builtin_trap();
        }
    }
    // The same bytes read as UTF-16 code units: refused exactly when a surrogate is unpaired.
    zeph::WideString units(size / 2, u'\0');
    for (std::size_t k = 0; k < units.size(); ++k) {
        units[k] = static_cast<char16_t>(data[2 * k] | (data[2 * k + 1] << 8));
    }
    try {
        std::string narrow = zeph::wide_to_utf8(units);
        if (zeph::utf8_to_wide(narrow) != units) {
            __builtin_trap();
        }
    } catch (const std::runtime_error&) {
    }
    // Windows-1252 never fails and always gives valid UTF-8.
    if (!zeph::isValidUtf8(zeph::lf_ansiToUtf8(text))) {
        __builtin_trap();
    }
    return 0;
}
