#pragma once
#include <cstddef>
#include <filesystem>
#include <string>
#include <string_view>

namespace zeph {

// A reader of INI files after the rules of Windows' private-profile functions:
// - Lines end at LF, CR LF or CR. Blanks (space, tab, VT, FF, Ctrl-Z) around each line are dropped.
// - "[name]" opens a section; its name is what lies between '[' and the last ']' of the line, trimmed.
//   A line starting with '[' without ']' is ignored. Lines before the first section belong to none.
// - Lines starting with ';' are comments; empty lines are nothing.
// - Every other line is an entry: "key=value", or "key" alone (an entry with an empty value). Key and value
//   are trimmed; an entry with an empty key does not count.
// - Section and key names match without regard to ASCII letter case. The first matching section and the
//   first matching key in it win; a later section of the same name is never read.
// - A value in matching single or double quotes loses them; then it is cut at maxChars UTF-16 units (a
//   character outside the BMP counts two and is never split).
// - The bytes are decoded by their BOM: UTF-16LE or UTF-16BE to UTF-8 (a lone surrogate becomes U+FFFD,
//   an odd last byte is dropped), UTF-8 with BOM; without BOM, valid UTF-8 is read as such and anything else
//   as Windows-1252 (also after a UTF-8 BOM).
// Reading never throws and never logs.

// The value as UTF-8; "" when the file, the section or the key is missing, or the value is empty. Callers
// treat all of these alike ("an empty value changes nothing"), so there is no separate "absent".
std::string iniGetString(const std::filesystem::path& file, std::string_view section, std::string_view key,
                         std::size_t maxChars = 2047);

// True when the first section of that name has at least one entry; a missing file or section, or a section
// with nothing but comments, gives false.
bool iniSectionExists(const std::filesystem::path& file, std::string_view section);

// The same two questions over the bytes of a file, for callers that hold the bytes already.
std::string iniTextGetString(std::string_view bytes, std::string_view section, std::string_view key,
                             std::size_t maxChars = 2047);
bool iniTextSectionExists(std::string_view bytes, std::string_view section);

// The bytes of an INI file as UTF-8 text, decoded as described above.
std::string decodeIniBytes(std::string_view bytes);

} // namespace zeph
