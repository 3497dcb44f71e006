#pragma once
#include <optional>
#include <string>
#include <string_view>

#include "platform/wide_string.h"

namespace zeph {

// Strict conversions: overlong forms, surrogates encoded in UTF-8, stray or missing continuation bytes and
// unpaired surrogates are refused. Lengths are explicit, so NUL is an ordinary character.
std::optional<WideString> utf8ToUtf16(std::string_view text);
std::optional<std::string> utf16ToUtf8(WideStringView text);
bool isValidUtf8(std::string_view text);

// Appends one Unicode scalar value as UTF-8.
void appendUtf8(std::string& out, char32_t value);

// The "ANSI" code page of the program's users, Windows-1252. Lenient: the five bytes that code page leaves
// undefined map to the C1 control of the same number, as Windows does without the strict flag.
WideString cp1252ToUtf16(std::string_view text);

} // namespace zeph
