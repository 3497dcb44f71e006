#pragma once
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

namespace zeph::test {

// Builds the text of a registry file line by line, as regedit exports it (CR LF line ends), and writes it
// in UTF-16LE with BOM or in UTF-8. Texts are given in UTF-8.
class RegFileBuilder {
public:
    // "Windows Registry Editor Version 5.00" followed by an empty line.
    RegFileBuilder& header();
    // [key] and [-key]; key is written as given, hive included.
    RegFileBuilder& key(std::string_view fullKey);
    RegFileBuilder& deleteKey(std::string_view fullKey);
    // "name"="text" with '\' and '"' escaped in both.
    RegFileBuilder& stringValue(std::string_view name, std::string_view text);
    // @="text"
    RegFileBuilder& defaultValue(std::string_view text);
    RegFileBuilder& dwordValue(std::string_view name, std::uint32_t value);
    RegFileBuilder& deleteValue(std::string_view name);
    // Any line, written as given.
    RegFileBuilder& line(std::string_view raw);

    const std::string& text() const { return text_; }

    void writeUtf16(const std::filesystem::path& file) const;
    void writeUtf8(const std::filesystem::path& file, bool withBom = false) const;

private:
    std::string text_;
};

// "Name" in quotes, '\' and '"' escaped.
std::string regQuoted(std::string_view text);

} // namespace zeph::test
