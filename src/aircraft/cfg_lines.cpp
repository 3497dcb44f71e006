#include "aircraft/cfg_lines.h"

#include "core/strings.h"

namespace zeph {

namespace {

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r'; }
bool isLineEnd(char c) { return c == '\n' || c == '\r'; }
bool isWord(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';
}
char lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool equalsNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (lower(a[i]) != lower(b[i])) {
            return false;
        }
    }
    return true;
}

std::size_t skipBlanks(std::string_view text, std::size_t pos) {
    while (pos < text.size() && isBlank(text[pos])) {
        ++pos;
    }
    return pos;
}

bool readInto(std::string_view line, std::string_view key, std::string& out) {
    const auto value = lf_parseCfgKeyLine(line, key);
    if (!value) {
        return false;
    }
    out.assign(*value);
    return true;
}

} // namespace

std::optional<std::string_view> lf_parseCfgKeyLine(std::string_view line, std::string_view key) {
    std::size_t pos = skipBlanks(line, 0);
    if (!equalsNoCase(line.substr(pos, key.size()), key)) {
        return std::nullopt;
    }
    pos = skipBlanks(line, pos + key.size());
    if (pos >= line.size() || line[pos] != '=') {
        return std::nullopt;
    }
    const std::size_t first = skipBlanks(line, pos + 1);
    std::size_t end = line.size();
    while (end > first && isBlank(line[end - 1])) {
        --end;
    }
    if (end == first) {
        return std::nullopt;
    }
    const std::string_view value = line.substr(first, end - first);
    if (value.find_first_of("\r\n") != std::string_view::npos) {
        return std::nullopt;
    }
    return value;
}

bool lf_readTitle(std::string_view line, std::string& out) { return readInto(line, "title", out); }
bool lf_readSim(std::string_view line, std::string& out) { return readInto(line, "sim", out); }
bool lf_readModel(std::string_view line, std::string& out) { return readInto(line, "model", out); }
bool lf_readTexture(std::string_view line, std::string& out) { return readInto(line, "texture", out); }
bool lf_readAtcId(std::string_view line, std::string& out) { return readInto(line, "atc_id", out); }
bool lf_readAtcParkingTypes(std::string_view line, std::string& out) {
    return readInto(line, "atc_parking_types", out);
}

bool lf_readAtcParkingCodes(std::string_view line, std::string& out) {
    const auto value = lf_parseCfgKeyLine(line, "atc_parking_codes");
    if (!value) {
        return false;
    }
    const std::vector<std::string> items = gf_splitAtComma(std::string(*value));
    if (items.empty()) {
        return false;
    }
    out = items.front();
    return true;
}

std::string lf_readAtcModel(std::string_view line) {
    const auto value = lf_parseCfgKeyLine(line, "atc_model");
    return value ? std::string(*value) : std::string();
}

bool lf_hasAtcIdKey(std::string_view line) { return line.find("atc_id=") != std::string_view::npos; }
bool lf_hasAtcParkingTypesKey(std::string_view line) {
    return line.find("atc_parking_types") != std::string_view::npos;
}
bool lf_hasAtcParkingCodesKey(std::string_view line) {
    return line.find("atc_parking_codes") != std::string_view::npos;
}

std::string lf_parseFltSimHeader(std::string_view line) {
    if (line.size() >= 2 && line.substr(0, 2) == "//") {
        return {};
    }
    constexpr std::string_view opening = "[fltsim.";
    std::size_t pos = skipBlanks(line, 0);
    if (equalsNoCase(line.substr(pos, opening.size()), opening)) {
        pos += opening.size();
        const std::size_t numberStart = pos;
        if (pos < line.size() && line[pos] == '-') {
            ++pos;
        }
        const std::size_t digits = pos;
        while (pos < line.size() && line[pos] >= '0' && line[pos] <= '9') {
            ++pos;
        }
        if (pos > digits && pos < line.size() && line[pos] == ']' &&
            skipBlanks(line, pos + 1) == line.size()) {
            return std::string(line.substr(numberStart, pos - numberStart));
        }
    }
    if (line.find("[fltsim.") != std::string_view::npos || line.find("[FLTSIM.") != std::string_view::npos) {
        return "10000";
    }
    return {};
}

std::optional<std::string_view> lf_matchIvaoPath(std::string_view path) {
    constexpr std::string_view fileName = "aircraft?cfg";
    auto isSep = [](char c) { return c == '/' || c == '\\'; };
    if (path.size() < fileName.size() + 1) {
        return std::nullopt;
    }
    std::size_t end = path.size() - fileName.size();
    for (std::size_t i = 0; i < fileName.size(); ++i) {
        const char c = path[end + i];
        if (fileName[i] == '?' ? isLineEnd(c) : lower(c) != fileName[i]) {
            return std::nullopt;
        }
    }
    if (!isSep(path[--end])) {
        return std::nullopt;
    }
    std::size_t start = end;
    while (start > 0 && isWord(path[start - 1])) {
        --start;
    }
    // The word runs back over "IVAO_" too, as [A-Za-z0-9_] holds its letters: find the last "IVAO_" start.
    constexpr std::string_view folderPrefix = "ivao_";
    constexpr std::string_view mtl = "ivao_mtl";
    const std::string_view component = path.substr(start, end - start);
    if (component.size() <= folderPrefix.size() || !equalsNoCase(component.substr(0, 5), folderPrefix)) {
        return std::nullopt;
    }
    if (start == 0 || !isSep(path[start - 1])) {
        return std::nullopt;
    }
    const std::size_t mtlEnd = start - 1;
    if (mtlEnd < mtl.size() + 2 || !equalsNoCase(path.substr(mtlEnd - mtl.size(), mtl.size()), mtl) ||
        !isSep(path[mtlEnd - mtl.size() - 1])) {
        return std::nullopt;
    }
    // ".+" before the separator: at least one byte, none of them a line end.
    const std::string_view before = path.substr(0, mtlEnd - mtl.size() - 1);
    if (before.empty() || before.find_first_of("\r\n") != std::string_view::npos) {
        return std::nullopt;
    }
    return component.substr(folderPrefix.size());
}

std::optional<std::string_view> lf_matchIvaoTitle(std::string_view title, std::string_view type) {
    if (!equalsNoCase(title.substr(0, type.size()), type)) {
        return std::nullopt;
    }
    const std::size_t pos = skipBlanks(title, type.size());
    if (pos + 3 > title.size() || !isWord(title[pos]) || !isWord(title[pos + 1]) || !isWord(title[pos + 2])) {
        return std::nullopt;
    }
    if (title.find_first_of("\r\n", pos + 3) != std::string_view::npos) {
        return std::nullopt;
    }
    return title.substr(pos, 3);
}

std::vector<std::vector<std::string>> lf_splitFltSimSections(const std::vector<std::string>& lines,
                                                             bool (*endsSection)(const std::string& line)) {
    std::vector<std::vector<std::string>> sections;
    bool inSection = false;
    for (const std::string& line : lines) {
        if (!lf_parseFltSimHeader(line).empty()) {
            sections.emplace_back().push_back(line);
            inSection = true;
        } else if (endsSection(line)) {
            inSection = false;
        } else if (inSection) {
            sections.back().push_back(line);
        }
    }
    return sections;
}

} // namespace zeph
