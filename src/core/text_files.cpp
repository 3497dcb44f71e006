#include "core/text_files.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <fstream>
#include <optional>
#include <stdexcept>
#include <system_error>
#include <utility>

#include <fmt/format.h>

#include "core/atomic_file.h"
#include "core/log.h"
#include "core/status_sink.h"
#include "core/text_convert.h"

namespace zeph {

namespace {

constexpr std::size_t kSampleSize = 4096;
// A UTF-8 sequence that starts inside the sample may need up to three bytes beyond it.
constexpr std::size_t kLookAhead = 3;
constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";

// A folder opens as a stream on Linux but not on Windows; treat it as a file that cannot be opened, so
// that nobody sizes a buffer by a folder's seek offset.
bool openForReading(const std::filesystem::path& file, std::ifstream& in) {
    std::error_code error;
    if (std::filesystem::is_directory(file, error)) {
        return false;
    }
    in.open(file, std::ios::binary);
    return in.is_open();
}

// A path for a message even when its bytes are not UTF-8.
std::string pathForMessage(const std::filesystem::path& file) {
    try {
        return gf_path2s(file);
    } catch (const std::exception&) {
        return lf_ansiToUtf8(file.native());
    }
}

// Reads a seekable stream whole, from its start, in one read; an empty buffer for an empty or unseekable
// stream, whose state is then cleared and put back to the start.
std::string readWholeStream(std::istream& in) {
    in.seekg(0, std::ios::end);
    std::streamoff size = in.tellg();
    if (size <= 0) {
        in.clear();
        in.seekg(0, std::ios::beg);
        return {};
    }
    std::string buffer(static_cast<std::size_t>(size), '\0');
    in.seekg(0, std::ios::beg);
    in.read(buffer.data(), size);
    if (in.bad()) {
        throw std::runtime_error("read error");
    }
    // A file that shrank after its size was taken gives only the bytes it still has.
    buffer.resize(static_cast<std::size_t>(in.gcount()));
    return buffer;
}

std::optional<TextCharset> charsetByLeadingBytes(std::string_view bytes) {
    const std::size_t n = std::min<std::size_t>(bytes.size(), 4);
    auto at = [&](std::size_t i) { return static_cast<unsigned char>(bytes[i]); };
    if (n >= 3 && bytes.substr(0, 3) == kUtf8Bom) {
        return TextCharset::Utf8WithBom;
    }
    if (n < 2) {
        return std::nullopt;
    }
    if (at(0) == 0xFF && at(1) == 0xFE) {
        return TextCharset::Unicode;
    }
    if (at(0) == 0xFE && at(1) == 0xFF) {
        return TextCharset::UnicodeBigEndian;
    }
    if (at(1) == 0x00 && (n < 4 || at(3) == 0x00)) {
        return TextCharset::Unicode;
    }
    if (at(0) == 0x00 && (n < 4 || at(2) == 0x00)) {
        return TextCharset::UnicodeBigEndian;
    }
    return std::nullopt;
}

// The length of the UTF-8 sequence at pos, or 0 when it is not valid. Encoded surrogates (ED A0..BF)
// pass, as they always have for this test.
std::size_t utf8SequenceLength(std::string_view bytes, std::size_t pos) {
    const auto lead = static_cast<unsigned char>(bytes[pos]);
    if (lead <= 0x7F) {
        return 1;
    }
    std::size_t extra = 0;
    unsigned char low = 0x80;
    unsigned char high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        extra = 1;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        extra = 2;
        low = lead == 0xE0 ? 0xA0 : 0x80;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        extra = 3;
        low = lead == 0xF0 ? 0x90 : 0x80;
        high = lead == 0xF4 ? 0x8F : 0xBF;
    } else {
        return 0;
    }
    if (bytes.size() - pos <= extra) {
        return 0; // cut short by the end of the file
    }
    for (std::size_t i = 1; i <= extra; ++i) {
        const auto next = static_cast<unsigned char>(bytes[pos + i]);
        if (next < low || next > high) {
            return 0;
        }
        low = 0x80;
        high = 0xBF;
    }
    return extra + 1;
}

// Whether every sequence that starts in the first sampleSize bytes is valid; a sequence is judged whole, also
// past sampleSize, so a valid file is not called "ANSI" because the sample's end cut a character in two.
bool startsAsUtf8(std::string_view bytes, std::size_t sampleSize) {
    const std::size_t sampleEnd = std::min(bytes.size(), sampleSize);
    std::size_t pos = 0;
    while (pos < sampleEnd) {
        std::size_t length = utf8SequenceLength(bytes, pos);
        if (length == 0) {
            return false;
        }
        pos += length;
    }
    return true;
}

bool readUtf16File(TextCharset charset, const std::filesystem::path& file, std::vector<std::string>& lines) {
    std::ifstream in;
    if (!openForReading(file, in)) {
        return false;
    }
    if (lf_readUtf16Lines(in, lines, charset) == Utf16Tail::OddByteIgnored) {
        gf_logLine(fmt::format("{}: odd byte count, last byte ignored", pathForMessage(file)));
    }
    return true;
}

// The whole text is converted at once and then split: Windows-1252 maps CR and LF to themselves and every
// other byte to characters without them, so the lines are the ones a per-line conversion would give, at a
// fraction of the allocations. A UTF-8 byte-order mark is skipped before the conversion, as the splitter
// would skip it.
void splitAnsiText(std::string bytes, std::vector<std::string>& lines) {
    if (std::string_view(bytes).substr(0, 3) == kUtf8Bom) {
        bytes.erase(0, 3);
    }
    lf_splitLines(lf_ansiToUtf8(bytes), lines);
}

// The charset holds for the whole file: one that the first bytes call UTF-8 but whose later bytes are not is
// Windows-1252 throughout, so a text reads the same wherever it stands and every line is UTF-8.
bool readUtf8File(const std::filesystem::path& file, std::vector<std::string>& lines) {
    std::ifstream in;
    if (!openForReading(file, in)) {
        return false;
    }
    std::string bytes = readWholeStream(in);
    if (startsAsUtf8(bytes, bytes.size())) {
        lf_splitLines(bytes, lines);
    } else {
        splitAnsiText(std::move(bytes), lines);
    }
    return true;
}

bool readAnsiFile(const std::filesystem::path& file, std::vector<std::string>& lines) {
    std::ifstream in;
    if (!openForReading(file, in)) {
        return false;
    }
    splitAnsiText(readWholeStream(in), lines);
    return true;
}

bool readAs(TextCharset charset, const std::filesystem::path& file, std::vector<std::string>& lines) {
    switch (charset) {
    case TextCharset::Unicode:
    case TextCharset::UnicodeBigEndian:
        return readUtf16File(charset, file, lines);
    case TextCharset::Utf8WithBom:
    case TextCharset::Utf8WithoutBom:
        return readUtf8File(file, lines);
    case TextCharset::Ansi:
        return readAnsiFile(file, lines);
    case TextCharset::NoneFound:
        break;
    }
    // NoneFound, or a code outside the list, whose name look-up throws first.
    std::string_view name = gf_charsetName(charset);
    throw std::runtime_error(fmt::format("file {} has unknown charset: {}", gf_path2s(file), name));
}

} // namespace

std::string_view gf_charsetName(TextCharset charset) {
    static constexpr std::array<std::string_view, 6> names = {
        "ANSI", "Unicode", "Unicode_big_endian", "UTF8_with_BOM", "UTF8_without_BOM", "none_found"};
    const auto code = static_cast<std::int32_t>(charset);
    if (code < 0 || code >= static_cast<std::int32_t>(names.size())) {
        throw std::out_of_range(fmt::format("unknown charset code {}", code));
    }
    return names[static_cast<std::size_t>(code)];
}

TextCharset gf_detectCharset(const std::filesystem::path& file) {
    std::ifstream in;
    if (!openForReading(file, in)) {
        return TextCharset::NoneFound;
    }
    std::array<char, kSampleSize + kLookAhead> buffer{};
    in.read(buffer.data(), static_cast<std::streamsize>(buffer.size()));
    if (in.bad()) {
        return TextCharset::NoneFound;
    }
    std::string_view bytes(buffer.data(), static_cast<std::size_t>(in.gcount()));
    if (auto byLeadingBytes = charsetByLeadingBytes(bytes)) {
        return *byLeadingBytes;
    }
    // bytes holds the sample and up to kLookAhead bytes after it.
    return startsAsUtf8(bytes, kSampleSize) ? TextCharset::Utf8WithoutBom : TextCharset::Ansi;
}

bool gf_readTextFileAs(TextCharset charset, const std::filesystem::path& file,
                       std::vector<std::string>& lines) {
    try {
        lines.clear();
        return readAs(charset, file, lines);
    } catch (const std::exception& error) {
        reportStatus(fmt::format("Read failed for '{}': {}", pathForMessage(file), error.what()), true);
        return false;
    }
}

void lf_splitLines(std::string_view text, std::vector<std::string>& lines) {
    if (text.size() >= 3 && text.substr(0, 3) == kUtf8Bom) {
        text.remove_prefix(3);
    }
    const char* const begin = text.data();
    const char* const end = begin + text.size();
    const char* p = begin;
    while (p < end) {
        const auto* lf = static_cast<const char*>(std::memchr(p, '\n', static_cast<std::size_t>(end - p)));
        const char* lineEnd = lf != nullptr ? lf : end;
        std::size_t length = static_cast<std::size_t>(lineEnd - p);
        if (length > 0 && p[length - 1] == '\r') {
            --length;
        }
        lines.emplace_back(p, length);
        if (lf == nullptr) {
            break;
        }
        p = lf + 1;
    }
}

void gf_readStreamLines(std::istream& in, std::vector<std::string>& lines) {
    if (in.fail()) {
        return;
    }
    lf_splitLines(readWholeStream(in), lines);
}

Utf16Tail lf_readUtf16Lines(std::istream& in, std::vector<std::string>& lines, TextCharset charset) {
    if (in.fail()) {
        return Utf16Tail::Complete;
    }
    const std::string bytes = readWholeStream(in);
    auto at = [&](std::size_t i) { return static_cast<unsigned char>(bytes[i]); };
    std::size_t start = 0;
    bool bigEndian = false;
    if (bytes.size() >= 2 && ((at(0) == 0xFF && at(1) == 0xFE) || (at(0) == 0xFE && at(1) == 0xFF))) {
        bigEndian = at(0) == 0xFE;
        start = 2;
    } else if (charset == TextCharset::Unicode || charset == TextCharset::UnicodeBigEndian) {
        bigEndian = charset == TextCharset::UnicodeBigEndian;
    } else {
        throw std::invalid_argument(
            fmt::format("lf_readUtf16Lines: charset {} is not UTF-16", static_cast<std::int32_t>(charset)));
    }
    const std::size_t units = (bytes.size() - start) / 2;
    WideString text(units, u'\0');
    for (std::size_t i = 0; i < units; ++i) {
        const std::size_t pos = start + 2 * i;
        const unsigned hi = bigEndian ? at(pos) : at(pos + 1);
        const unsigned lo = bigEndian ? at(pos + 1) : at(pos);
        text[i] = static_cast<char16_t>((hi << 8) | lo);
    }
    lf_splitLines(wide_to_utf8(text), lines);
    return (bytes.size() - start) % 2 != 0 ? Utf16Tail::OddByteIgnored : Utf16Tail::Complete;
}

LineFileResult LineFile::read(std::size_t reserveLines) {
    lines.clear();
    std::ifstream in;
    if (!openForReading(path, in)) {
        return {false, {}, "open_failed"};
    }
    try {
        if (reserveLines > lines.capacity()) {
            lines.reserve(reserveLines);
        }
        gf_readStreamLines(in, lines);
    } catch (const std::exception&) {
        lines.clear();
        return {false, {}, "read_failed"};
    }
    return {true, lines, {}};
}

bool gf_writeFile(const std::string& text, const std::filesystem::path& file) {
    return writeFileAtomically(file, [&](std::ostream& out) {
        out.write(text.data(), static_cast<std::streamsize>(text.size()));
        out.put('\n');
        return static_cast<bool>(out);
    });
}

bool gf_writeLinesToFile(const std::vector<std::string>& lines, const std::filesystem::path& file) {
    return writeFileAtomically(file, [&](std::ostream& out) {
        for (const auto& line : lines) {
            out.write(line.data(), static_cast<std::streamsize>(line.size()));
            out.put('\n');
        }
        return static_cast<bool>(out);
    });
}

} // namespace zeph
