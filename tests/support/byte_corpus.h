#pragma once
#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

namespace zeph::test {

// Every text-file case is built here in code, so no binary fixture hides what a test reads.

// The bytes of a list of values 0..255.
std::string bytesOf(std::initializer_list<int> values);
std::string repeatedByte(char byte, std::size_t count);
// UTF-16 code units as bytes in the given order, with or without a byte-order mark first.
std::string utf16Bytes(std::u16string_view text, bool bigEndian, bool withBom);
// Reproducible junk for the cases that must neither throw nor read past the file.
std::string randomBytes(std::size_t count, std::uint32_t seed);

// A file's bytes and the charset code that detection must give for them.
struct CharsetCase {
    std::string name;
    std::string bytes;
    int code;
};
std::vector<CharsetCase> charsetCases();

// A file's bytes, the charset code it is read with, and the lines that reading must give.
struct LinesCase {
    std::string name;
    std::string bytes;
    int code;
    std::vector<std::string> lines;
};
std::vector<LinesCase> lineCases();

} // namespace zeph::test
