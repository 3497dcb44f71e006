#pragma once
#include <string>
#include <string_view>
#include <vector>

// Text rules the window layer's backends share. None of them touches a toolkit.

namespace zeph {

// The entry a drop-down selects for a typed prefix: the first, from the start of the list, that begins with
// the prefix regardless of ASCII case; -1 when none does. An empty prefix gives the first entry.
int findComboPrefix(const std::vector<std::string>& entries, std::string_view prefix);

// Text as the painter draws it: every control character (below 0x20, and 0x7F) becomes a blank.
std::string textAsDrawn(std::string_view utf8);

// A drop-down entry as FLTK draws it literally: menus read '&' as a shortcut mark, so it is doubled. The
// backend builds the menu items itself with a label type without symbols, so nothing else ('/', '\\', '_',
// '|', '@') is read as anything but itself.
std::string escapeMenuEntry(std::string_view text);

// The code points of a UTF-8 text; each byte of an invalid sequence counts as U+FFFD.
std::vector<char32_t> codePoints(std::string_view utf8);

// One code point as UTF-8; one not representable gives U+FFFD.
std::string utf8Of(char32_t codePoint);

// Removes the last code point of a UTF-8 text (nothing when it is empty).
void eraseLastCodePoint(std::string& utf8);

} // namespace zeph
