#pragma once
#include <array>
#include <cstddef>
#include <filesystem>
#include <optional>

// Seals a plain file into the program's data-file format: a libsodium secret stream (XChaCha20-Poly1305),
// the 24-byte stream header, then one chunk of 4096 plain bytes + 17 bytes per block, no associated data,
// the last chunk tagged final.

namespace zeph::sealdata {

// Damage for the negative fixtures of the readers' tests.
struct SealFaults {
    bool noFinal = false;                    // the last chunk carries the plain message tag
    std::optional<std::size_t> flipByte{};   // this byte of the sealed file is inverted
    std::optional<std::size_t> truncateTo{}; // the sealed file is cut to this many bytes
    std::size_t appendGarbage = 0;           // this many bytes follow the last chunk
};

// False when a file cannot be read or written or libsodium cannot start; sealed is then removed.
bool sealFile(const std::filesystem::path& plain, const std::filesystem::path& sealed,
              const std::array<unsigned char, 32>& key, const SealFaults& faults = {});

} // namespace zeph::sealdata
