#pragma once
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <istream>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace zeph {

// The charset of a text file written by another program or by a person.
enum class TextCharset : std::int32_t {
    Ansi = 0,             // neither UTF-16 nor valid UTF-8: Windows-1252
    Unicode = 1,          // UTF-16 little-endian
    UnicodeBigEndian = 2, // UTF-16 big-endian
    Utf8WithBom = 3,
    Utf8WithoutBom = 4, // also an empty file
    NoneFound = 5,      // the file cannot be opened
};

// "ANSI", "Unicode", "Unicode_big_endian", "UTF8_with_BOM", "UTF8_without_BOM", "none_found".
// A code outside 0..5 throws std::out_of_range("unknown charset code {}").
std::string_view gf_charsetName(TextCharset charset);

// Decided by the first bytes: a byte-order mark, zero bytes of UTF-16, else whether the first 4096 bytes
// are valid UTF-8. A folder or a file that cannot be opened gives NoneFound.
TextCharset gf_detectCharset(const std::filesystem::path& file);

// Clears lines and fills them with the file's lines as UTF-8. False without a report when the file cannot
// be opened (the caller reports it); false with one status line "Read failed for '<path>': <reason>"
// (logged) for NoneFound, an unknown code, invalid UTF-16 or a read error. Never throws. A file read as
// UTF-8 whose bytes are not all valid UTF-8 is read as Windows-1252 throughout.
bool gf_readTextFileAs(TextCharset charset, const std::filesystem::path& file,
                       std::vector<std::string>& lines);

// Lines: the text between LF bytes, one CR before the LF (or at the very end) dropped, a leading UTF-8
// byte-order mark skipped; a final LF starts no further line; empty lines inside are kept. Every reader
// appends in file order. These three pass on conversion errors, read errors ("read error") and failed
// allocations.
void lf_splitLines(std::string_view text, std::vector<std::string>& lines);

// Reads the whole stream in one piece and splits it; the stream is left at its end.
void gf_readStreamLines(std::istream& in, std::vector<std::string>& lines);

enum class Utf16Tail { Complete, OddByteIgnored };

// Reads a whole UTF-16 stream. A byte-order mark decides the byte order and is skipped; without one the
// charset does (Unicode little-endian, UnicodeBigEndian big-endian; any other code throws
// std::invalid_argument) and nothing is skipped. Of an odd byte count the last byte is left out, which the
// result tells so that the caller can log it. An unpaired surrogate throws "wide_to_utf8: invalid UTF-16".
Utf16Tail lf_readUtf16Lines(std::istream& in, std::vector<std::string>& lines, TextCharset charset);

struct LineFileResult {
    bool ok = false;
    std::span<const std::string> lines; // all of the LineFile's lines while ok
    std::string_view error;             // "open_failed" or "read_failed" while not ok
};

// A UTF-8 text file read whole as lines.
struct LineFile {
    std::filesystem::path path;
    std::vector<std::string> lines;

    // Replaces lines with the file's lines. reserveLines is a hint: when it exceeds the capacity, that
    // many lines are reserved first. Never throws; after a failure lines are empty.
    LineFileResult read(std::size_t reserveLines);
};

// Write the text, or each line, followed by LF: no byte-order mark, no CR. The file is replaced whole
// (writeFileAtomically); true only when every byte reached it. A failure leaves the old file as it was.
bool gf_writeFile(const std::string& text, const std::filesystem::path& file);
bool gf_writeLinesToFile(const std::vector<std::string>& lines, const std::filesystem::path& file);

} // namespace zeph
