#include "platform/registry.h"

#include <fstream>

#include "platform/codepage.h"
#include "platform/known_folders.h"

namespace zeph {

namespace {

constexpr std::string_view lineBlanks = " \t\r";

char upperAsciiChar(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

std::string upperAscii(std::string_view text) {
    std::string out(text);
    for (char& c : out) {
        c = upperAsciiChar(c);
    }
    return out;
}

bool isHexDigit(char c) {
    return (c >= '0' && c <= '9') || (upperAsciiChar(c) >= 'A' && upperAsciiChar(c) <= 'F');
}

bool isHexNumber(std::string_view text, std::size_t maxDigits) {
    if (text.empty() || text.size() > maxDigits) {
        return false;
    }
    for (char c : text) {
        if (!isHexDigit(c)) {
            return false;
        }
    }
    return true;
}

std::string_view trimBlanks(std::string_view text) {
    auto first = text.find_first_not_of(lineBlanks);
    if (first == std::string_view::npos) {
        return {};
    }
    auto last = text.find_last_not_of(lineBlanks);
    return text.substr(first, last - first + 1);
}

std::size_t skipBlanks(std::string_view text, std::size_t pos) {
    while (pos < text.size() && (text[pos] == ' ' || text[pos] == '\t')) {
        ++pos;
    }
    return pos;
}

// An unpaired surrogate becomes the byte 0xFF, which no valid UTF-8 text holds: the statement that contains
// it fails its check later and is skipped alone, while the rest of the file still reads.
std::string decodeUtf16le(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size() + bytes.size() / 2);
    auto unitAt = [&](std::size_t k) {
        return static_cast<char32_t>(static_cast<unsigned char>(bytes[2 * k]) |
                                     (static_cast<unsigned char>(bytes[2 * k + 1]) << 8));
    };
    const std::size_t count = bytes.size() / 2; // a last odd byte is not a character
    for (std::size_t k = 0; k < count; ++k) {
        char32_t unit = unitAt(k);
        if (unit >= 0xD800 && unit <= 0xDBFF && k + 1 < count) {
            char32_t next = unitAt(k + 1);
            if (next >= 0xDC00 && next <= 0xDFFF) {
                appendUtf8(out, 0x10000 + ((unit - 0xD800) << 10) + (next - 0xDC00));
                ++k;
                continue;
            }
        }
        if (unit >= 0xD800 && unit <= 0xDFFF) {
            out.push_back('\xFF');
            continue;
        }
        appendUtf8(out, unit);
    }
    return out;
}

// regedit writes UTF-16LE with BOM; hand-written files are often UTF-8.
std::string decodeRegistryBytes(std::string_view bytes) {
    if (bytes.size() >= 2 && bytes[0] == '\xFF' && bytes[1] == '\xFE') {
        return decodeUtf16le(bytes.substr(2));
    }
    if (bytes.size() >= 3 && bytes.substr(0, 3) == "\xEF\xBB\xBF") {
        bytes.remove_prefix(3);
    }
    return std::string(bytes);
}

// Reads the quoted text that starts at line[pos]; only \\ and \" are escapes. pos ends after the quote.
std::optional<std::string> readQuoted(std::string_view line, std::size_t& pos) {
    std::string out;
    for (std::size_t i = pos + 1; i < line.size(); ++i) {
        char c = line[i];
        if (c == '"') {
            pos = i + 1;
            return out;
        }
        if (c == '\\') {
            if (i + 1 >= line.size() || (line[i + 1] != '\\' && line[i + 1] != '"')) {
                return std::nullopt;
            }
            c = line[++i];
        }
        out.push_back(c);
    }
    return std::nullopt;
}

struct ValueHead {
    std::string name;      // as written
    std::string_view data; // everything after '=' and blanks
};

// The name and the data of a line such as "Name"=... or @=...
std::optional<ValueHead> readValueHead(std::string_view line) {
    ValueHead head;
    std::size_t pos = 0;
    if (line.empty()) {
        return std::nullopt;
    }
    if (line.front() == '@') {
        pos = 1;
    } else if (line.front() == '"') {
        auto name = readQuoted(line, pos);
        if (!name) {
            return std::nullopt;
        }
        head.name = std::move(*name);
    } else {
        return std::nullopt;
    }
    pos = skipBlanks(line, pos);
    if (pos >= line.size() || line[pos] != '=') {
        return std::nullopt;
    }
    head.data = line.substr(skipBlanks(line, pos + 1));
    return head;
}

bool isHexList(std::string_view text) {
    for (char c : text) {
        if (!isHexDigit(c) && c != ',' && c != ' ' && c != '\t') {
            return false;
        }
    }
    return true;
}

bool startsWithHex(std::string_view data) {
    return data.size() >= 3 && upperAscii(data.substr(0, 3)) == "HEX";
}

// dword:1-8 digits, hex:list, hex(type):list. They exist but are not strings.
bool isTypedData(std::string_view data) {
    std::string upper = upperAscii(data);
    std::string_view d = upper;
    if (d.substr(0, 6) == "DWORD:") {
        return isHexNumber(d.substr(6), 8);
    }
    if (d.substr(0, 4) == "HEX:") {
        return isHexList(d.substr(4));
    }
    if (d.substr(0, 4) == "HEX(") {
        auto close = d.find(')');
        if (close == std::string_view::npos || !isHexNumber(d.substr(4, close - 4), 8) ||
            close + 1 >= d.size() || d[close + 1] != ':') {
            return false;
        }
        return isHexList(d.substr(close + 2));
    }
    return false;
}

std::optional<RegHive> hiveNamed(std::string_view name) {
    std::string upper = upperAscii(name);
    if (upper == "HKEY_LOCAL_MACHINE" || upper == "HKLM") {
        return RegHive::LocalMachine;
    }
    if (upper == "HKEY_CURRENT_USER" || upper == "HKCU") {
        return RegHive::CurrentUser;
    }
    return std::nullopt;
}

std::string normalKeyPath(std::string_view path) {
    while (!path.empty() && path.back() == '\\') {
        path.remove_suffix(1);
    }
    return upperAscii(path);
}

RegStatement keyStatement(std::string_view line) {
    RegStatement statement; // OtherKey until the header proves good
    if (line.size() < 2 || line.back() != ']') {
        return statement;
    }
    std::string_view inner = line.substr(1, line.size() - 2);
    bool deleting = !inner.empty() && inner.front() == '-';
    if (deleting) {
        inner.remove_prefix(1);
    }
    auto slash = inner.find('\\');
    auto hive = hiveNamed(inner.substr(0, slash));
    std::string_view path = slash == std::string_view::npos ? std::string_view{} : inner.substr(slash + 1);
    if (!hive || !isValidUtf8(path)) {
        return statement;
    }
    statement.kind = deleting ? RegStatement::Kind::DeleteKey : RegStatement::Kind::OpenKey;
    statement.hive = *hive;
    statement.name = normalKeyPath(path);
    return statement;
}

std::optional<RegStatement> valueStatement(std::string_view line) {
    auto head = readValueHead(line);
    if (!head || !isValidUtf8(head->name)) {
        return std::nullopt;
    }
    RegStatement statement;
    statement.name = upperAscii(head->name);
    std::string_view data = head->data;
    if (data == "-") {
        statement.kind = RegStatement::Kind::DeleteValue;
        return statement;
    }
    if (!data.empty() && data.front() == '"') {
        std::size_t end = 0;
        auto text = readQuoted(data, end);
        if (!text || end != data.size()) {
            return std::nullopt;
        }
        auto wide = utf8ToUtf16(*text);
        if (!wide) {
            return std::nullopt;
        }
        statement.kind = RegStatement::Kind::SetString;
        statement.text = std::move(*wide);
        return statement;
    }
    if (isTypedData(data)) {
        statement.kind = RegStatement::Kind::SetOther;
        return statement;
    }
    return std::nullopt;
}

void addStatement(RegistryContent& content, std::string_view line) {
    if (line.empty()) {
        return;
    }
    if (line.front() == '[') {
        content.statements.push_back(keyStatement(line));
    } else if (auto value = valueStatement(line)) {
        content.statements.push_back(std::move(*value));
    }
}

// Only binary data is wrapped over lines by regedit; letting any line go on would let an unterminated
// string swallow the good value on the next line.
bool isWrappedHexStart(std::string_view line) {
    if (line.empty() || line.back() != '\\') {
        return false;
    }
    auto head = readValueHead(line);
    return head && startsWithHex(head->data);
}

// key is the same as base or lies below it; the hive root is above every key.
bool isSameOrBelow(std::string_view key, std::string_view base) {
    if (base.empty()) {
        return true;
    }
    return key.substr(0, base.size()) == base && (key.size() == base.size() || key[base.size()] == '\\');
}

// Replays the statements for one key: whether it exists and, when asked, one of its values.
class KeyReplay {
public:
    KeyReplay(RegHive hive, std::string_view key, std::optional<std::string_view> valueName)
        : hive_(hive), key_(normalKeyPath(key)) {
        if (valueName) {
            valueName_ = upperAscii(*valueName);
        }
    }

    void apply(const RegStatement& statement) {
        using Kind = RegStatement::Kind;
        switch (statement.kind) {
        case Kind::OpenKey:
            inKey_ = statement.hive == hive_ && statement.name == key_;
            // A listed key makes its parents exist.
            if (statement.hive == hive_ && isSameOrBelow(statement.name, key_)) {
                exists_ = true;
            }
            break;
        case Kind::DeleteKey:
            inKey_ = false;
            if (statement.hive == hive_ && isSameOrBelow(key_, statement.name)) {
                exists_ = false;
                value_ = nullptr;
            }
            break;
        case Kind::OtherKey:
            inKey_ = false;
            break;
        case Kind::SetString:
        case Kind::SetOther:
        case Kind::DeleteValue:
            if (inKey_ && valueName_ && statement.name == *valueName_) {
                value_ = statement.kind == Kind::DeleteValue ? nullptr : &statement;
            }
            break;
        }
    }

    bool exists() const { return exists_; }

    std::optional<WideString> stringValue() const {
        if (!exists_ || value_ == nullptr || value_->kind != RegStatement::Kind::SetString) {
            return std::nullopt;
        }
        return value_->text;
    }

private:
    RegHive hive_;
    std::string key_;
    std::optional<std::string> valueName_;
    bool inKey_ = false;
    bool exists_ = false;
    const RegStatement* value_ = nullptr;
};

std::string readWholeFile(const std::filesystem::path& file) {
    std::string bytes;
    std::ifstream in(file, std::ios::binary);
    if (!in) {
        return bytes;
    }
    char buffer[65536];
    while (in.read(buffer, sizeof buffer) || in.gcount() > 0) {
        bytes.append(buffer, static_cast<std::size_t>(in.gcount()));
    }
    return in.bad() ? std::string{} : bytes;
}

RegistryContent readRegistryFile() {
    std::filesystem::path file = registryFilePath();
    if (file.empty()) {
        return {};
    }
    return parseRegistryText(readWholeFile(file));
}

} // namespace

RegistryContent parseRegistryText(std::string_view bytes) {
    RegistryContent content;
    const std::string text = decodeRegistryBytes(bytes);
    const std::string_view all = text;
    std::string logical;
    bool continuing = false;
    std::size_t start = 0;
    while (start < all.size()) {
        std::size_t end = all.find('\n', start);
        if (end == std::string_view::npos) {
            end = all.size();
        }
        std::string_view line = trimBlanks(all.substr(start, end - start));
        start = end + 1;
        if (!continuing) {
            if (!line.empty() && line.front() == ';') {
                continue;
            }
            continuing = isWrappedHexStart(line);
            logical.assign(line);
        } else {
            continuing = !line.empty() && line.back() == '\\';
            logical.append(line);
        }
        if (continuing) {
            logical.pop_back();
            continue;
        }
        addStatement(content, logical);
    }
    if (continuing) {
        addStatement(content, logical);
    }
    return content;
}

bool RegistryContent::keyExists(RegHive hive, std::string_view key) const {
    KeyReplay replay(hive, key, std::nullopt);
    for (const auto& statement : statements) {
        replay.apply(statement);
    }
    return replay.exists();
}

std::optional<WideString> RegistryContent::getString(RegHive hive, std::string_view key,
                                                     std::string_view valueName) const {
    KeyReplay replay(hive, key, valueName);
    for (const auto& statement : statements) {
        replay.apply(statement);
    }
    return replay.stringValue();
}

std::filesystem::path registryFilePath() {
    try {
        if (auto chosen = absolutePathFromEnv("CORVANE_REGISTRY_FILE")) {
            return *chosen;
        }
        if (auto home = configHome()) {
            return *home / "corvane" / "registry.reg";
        }
    } catch (...) {
        // An allocation failure leaves no file to read, which means no keys.
    }
    return {};
}

bool regKeyExists(RegHive hive, std::string_view key) {
    try {
        return readRegistryFile().keyExists(hive, key);
    } catch (...) {
        return false;
    }
}

std::optional<WideString> regGetString(RegHive hive, std::string_view key, std::string_view valueName) {
    try {
        return readRegistryFile().getString(hive, key, valueName);
    } catch (...) {
        return std::nullopt;
    }
}

} // namespace zeph
