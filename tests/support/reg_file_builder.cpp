#include "support/reg_file_builder.h"

#include <stdexcept>

#include <fmt/format.h>

#include "platform/codepage.h"
#include "support/temp_dir.h"

namespace zeph::test {

std::string regQuoted(std::string_view text) {
    std::string out = "\"";
    for (char c : text) {
        if (c == '\\' || c == '"') {
            out.push_back('\\');
        }
        out.push_back(c);
    }
    out.push_back('"');
    return out;
}

RegFileBuilder& RegFileBuilder::line(std::string_view raw) {
    text_.append(raw);
    text_.append("\r\n");
    return *this;
}

RegFileBuilder& RegFileBuilder::header() { return line("Windows Registry Editor Version 5.00").line(""); }

RegFileBuilder& RegFileBuilder::key(std::string_view fullKey) { return line(fmt::format("[{}]", fullKey)); }

RegFileBuilder& RegFileBuilder::deleteKey(std::string_view fullKey) {
    return line(fmt::format("[-{}]", fullKey));
}

RegFileBuilder& RegFileBuilder::stringValue(std::string_view name, std::string_view text) {
    return line(regQuoted(name) + "=" + regQuoted(text));
}

RegFileBuilder& RegFileBuilder::defaultValue(std::string_view text) { return line("@=" + regQuoted(text)); }

RegFileBuilder& RegFileBuilder::dwordValue(std::string_view name, std::uint32_t value) {
    return line(fmt::format("{}=dword:{:08x}", regQuoted(name), value));
}

RegFileBuilder& RegFileBuilder::deleteValue(std::string_view name) { return line(regQuoted(name) + "=-"); }

void RegFileBuilder::writeUtf16(const std::filesystem::path& file) const {
    auto wide = utf8ToUtf16(text_);
    if (!wide) {
        throw std::invalid_argument("RegFileBuilder: the text is not UTF-8");
    }
    std::string bytes = "\xFF\xFE";
    for (char16_t unit : *wide) {
        bytes.push_back(static_cast<char>(unit & 0xFF));
        bytes.push_back(static_cast<char>(unit >> 8));
    }
    writeFileBytes(file, bytes);
}

void RegFileBuilder::writeUtf8(const std::filesystem::path& file, bool withBom) const {
    writeFileBytes(file, (withBom ? std::string("\xEF\xBB\xBF") : std::string()) + text_);
}

} // namespace zeph::test
