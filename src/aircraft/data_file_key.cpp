#include "aircraft/data_file_key.h"

#include <cstddef>
#include <string_view>

namespace zeph {

namespace {

// 32 random bytes, made once with randombytes_buf.
constexpr std::string_view keyHex = "e4b5c1dfa618663a338ce3e6a75ec23b651d979c6ecb5c90b93ff64fa46e3981";

constexpr unsigned char nibble(char c) {
    return static_cast<unsigned char>(c <= '9' ? c - '0' : c - 'a' + 10);
}

constexpr std::array<unsigned char, 32> keyBytes() {
    std::array<unsigned char, 32> key{};
    for (std::size_t k = 0; k < key.size(); ++k) {
        key[k] = static_cast<unsigned char>(nibble(keyHex[2 * k]) << 4 | nibble(keyHex[2 * k + 1]));
    }
    return key;
}

constexpr std::array<unsigned char, 32> dataFileKey = keyBytes();

} // namespace

const std::array<unsigned char, 32>& gf_dataFileKey() { return dataFileKey; }

} // namespace zeph
