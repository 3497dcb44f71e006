#pragma once
#include <cstddef>
#include <cstdint>
#include <string_view>

// 64-bit FNV-1a, the hash of the program's hashed containers. Cheap on the short keys they hold (titles,
// codes, hexids) and the same on every platform, so the order of a set written to the log does not depend
// on the standard library.

namespace zeph {

inline constexpr std::uint64_t fnv1aOffsetBasis = 0xcbf29ce484222325ULL;
inline constexpr std::uint64_t fnv1aPrime = 0x100000001b3ULL;

constexpr std::uint64_t fnv1a64(std::string_view bytes) noexcept {
    std::uint64_t hash = fnv1aOffsetBasis;
    for (const char c : bytes) {
        hash ^= static_cast<unsigned char>(c);
        hash *= fnv1aPrime;
    }
    return hash;
}

// The value's four bytes, lowest first, whatever the machine's byte order.
constexpr std::uint64_t fnv1a64(std::uint32_t value) noexcept {
    std::uint64_t hash = fnv1aOffsetBasis;
    for (int shift = 0; shift < 32; shift += 8) {
        hash ^= (value >> shift) & 0xFFU;
        hash *= fnv1aPrime;
    }
    return hash;
}

// For containers keyed by texts. Transparent: with std::equal_to<> a std::string_view or a literal is
// looked up without building a std::string.
struct Fnv1aHash {
    using is_transparent = void;
    std::size_t operator()(std::string_view bytes) const noexcept {
        return static_cast<std::size_t>(fnv1a64(bytes));
    }
};

// For containers keyed by a 32-bit number such as a hexid.
struct Fnv1aU32Hash {
    std::size_t operator()(std::uint32_t value) const noexcept {
        return static_cast<std::size_t>(fnv1a64(value));
    }
};

} // namespace zeph
