#include "platform/ini.h"

#include <cstdio>
#include <memory>
#include <optional>

#include "platform/codepage.h"

namespace zeph {

namespace {

constexpr char16_t kReplacement = 0xFFFD;

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\v' || c == '\f' || c == '\x1a'; }

std::string_view trim(std::string_view text) {
    while (!text.empty() && isBlank(text.front())) {
        text.remove_prefix(1);
    }
    while (!text.empty() && isBlank(text.back())) {
        text.remove_suffix(1);
    }
    return text;
}

char asciiLower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool namesMatch(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (asciiLower(a[i]) != asciiLower(b[i])) {
            return false;
        }
    }
    return true;
}

std::string wideToUtf8Lenient(WideString wide) {
    // Lone surrogates have no UTF-8 form; they become U+FFFD so the rest of the file stays readable.
    for (std::size_t i = 0; i < wide.size(); ++i) {
        char16_t unit = wide[i];
        bool high = unit >= 0xD800 && unit <= 0xDBFF;
        bool low = unit >= 0xDC00 && unit <= 0xDFFF;
        if (high && i + 1 < wide.size() && wide[i + 1] >= 0xDC00 && wide[i + 1] <= 0xDFFF) {
            ++i;
        } else if (high || low) {
            wide[i] = kReplacement;
        }
    }
    return utf16ToUtf8(wide).value_or(std::string());
}

std::string decodeUtf16(std::string_view bytes, bool bigEndian) {
    WideString wide;
    wide.reserve(bytes.size() / 2);
    for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
        auto first = static_cast<unsigned char>(bytes[i]);
        auto second = static_cast<unsigned char>(bytes[i + 1]);
        wide.push_back(static_cast<char16_t>(bigEndian ? (first << 8) | second : (second << 8) | first));
    }
    return wideToUtf8Lenient(std::move(wide));
}

std::string utf8OrCp1252(std::string_view bytes) {
    if (isValidUtf8(bytes)) {
        return std::string(bytes);
    }
    return utf16ToUtf8(cp1252ToUtf16(bytes)).value_or(std::string());
}

enum class LineKind { Nothing, Section, Entry };

struct IniLine {
    LineKind kind = LineKind::Nothing;
    std::string_view name;
    std::string_view value;
};

IniLine parseLine(std::string_view raw) {
    std::string_view line = trim(raw);
    if (line.empty() || line.front() == ';') {
        return {};
    }
    if (line.front() == '[') {
        auto close = line.rfind(']');
        if (close == std::string_view::npos) {
            return {};
        }
        return {LineKind::Section, trim(line.substr(1, close - 1)), {}};
    }
    auto equals = line.find('=');
    if (equals == std::string_view::npos) {
        return {LineKind::Entry, line, {}};
    }
    return {LineKind::Entry, trim(line.substr(0, equals)), trim(line.substr(equals + 1))};
}

// Calls visit(line) for each entry with a name in the first section called section, until visit returns
// true.
template <class Visit> void forEachEntry(std::string_view text, std::string_view section, Visit visit) {
    bool inside = false;
    while (!text.empty()) {
        auto end = text.find_first_of("\r\n");
        IniLine line = parseLine(text.substr(0, end));
        text = end == std::string_view::npos ? std::string_view{} : text.substr(end + 1);
        if (line.kind == LineKind::Section) {
            if (inside) {
                return;
            }
            inside = namesMatch(line.name, section);
        } else if (inside && line.kind == LineKind::Entry && !line.name.empty() && visit(line)) {
            return;
        }
    }
}

std::string_view unquote(std::string_view value) {
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
        value.back() == value.front()) {
        return value.substr(1, value.size() - 2);
    }
    return value;
}

// The longest prefix of valid UTF-8 text that holds at most maxUnits UTF-16 units, whole characters only.
std::string_view cutToUnits(std::string_view text, std::size_t maxUnits) {
    std::size_t units = 0;
    std::size_t pos = 0;
    while (pos < text.size()) {
        auto lead = static_cast<unsigned char>(text[pos]);
        std::size_t length = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
        std::size_t weight = length == 4 ? 2 : 1;
        if (units + weight > maxUnits) {
            break;
        }
        units += weight;
        pos += std::min(length, text.size() - pos);
    }
    return text.substr(0, pos);
}

std::optional<std::string> readFileBytes(const std::filesystem::path& file) {
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> stream(std::fopen(file.c_str(), "rb"), &std::fclose);
    if (!stream) {
        return std::nullopt;
    }
    std::string bytes;
    char chunk[16384];
    for (;;) {
        std::size_t got = std::fread(chunk, 1, sizeof(chunk), stream.get());
        bytes.append(chunk, got);
        if (got < sizeof(chunk)) {
            break;
        }
    }
    if (std::ferror(stream.get()) != 0) {
        return std::nullopt;
    }
    return bytes;
}

} // namespace

std::string decodeIniBytes(std::string_view bytes) {
    auto startsWith = [&](std::string_view bom) { return bytes.substr(0, bom.size()) == bom; };
    if (startsWith("\xFF\xFE")) {
        return decodeUtf16(bytes.substr(2), false);
    }
    if (startsWith("\xFE\xFF")) {
        return decodeUtf16(bytes.substr(2), true);
    }
    if (startsWith("\xEF\xBB\xBF")) {
        return utf8OrCp1252(bytes.substr(3));
    }
    return utf8OrCp1252(bytes);
}

std::string iniTextGetString(std::string_view bytes, std::string_view section, std::string_view key,
                             std::size_t maxChars) {
    std::string text = decodeIniBytes(bytes);
    std::string value;
    forEachEntry(text, section, [&](const IniLine& line) {
        if (!namesMatch(line.name, key)) {
            return false;
        }
        value = cutToUnits(unquote(line.value), maxChars);
        return true;
    });
    return value;
}

bool iniTextSectionExists(std::string_view bytes, std::string_view section) {
    std::string text = decodeIniBytes(bytes);
    bool found = false;
    forEachEntry(text, section, [&](const IniLine&) {
        found = true;
        return true;
    });
    return found;
}

std::string iniGetString(const std::filesystem::path& file, std::string_view section, std::string_view key,
                         std::size_t maxChars) {
    auto bytes = readFileBytes(file);
    return bytes ? iniTextGetString(*bytes, section, key, maxChars) : std::string();
}

bool iniSectionExists(const std::filesystem::path& file, std::string_view section) {
    auto bytes = readFileBytes(file);
    return bytes && iniTextSectionExists(*bytes, section);
}

} // namespace zeph
