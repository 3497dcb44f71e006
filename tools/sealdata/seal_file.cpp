#include "sealdata/seal_file.h"

#include <fstream>
#include <iterator>
#include <string>
#include <system_error>
#include <vector>

#include <sodium.h>

namespace zeph::sealdata {

namespace {

constexpr std::size_t blockBytes = 4096;

bool readWhole(const std::filesystem::path& file, std::vector<unsigned char>& bytes) {
    std::ifstream in(file, std::ios::binary);
    if (!in) {
        return false;
    }
    bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return !in.bad();
}

// The whole sealed stream in memory: data files are small, and the faults work on the finished bytes.
bool sealBytes(const std::vector<unsigned char>& plain, const std::array<unsigned char, 32>& key,
               bool noFinal, std::vector<unsigned char>& sealed) {
    crypto_secretstream_xchacha20poly1305_state state;
    sealed.assign(crypto_secretstream_xchacha20poly1305_HEADERBYTES, 0);
    if (crypto_secretstream_xchacha20poly1305_init_push(&state, sealed.data(), key.data()) != 0) {
        return false;
    }
    // Read ahead: the block that ends the input is the final one, so a multiple of 4096 bytes gets no extra
    // empty chunk, and empty input gets one empty final chunk.
    std::size_t offset = 0;
    do {
        const std::size_t count = std::min(blockBytes, plain.size() - offset);
        const bool last = offset + count == plain.size();
        const unsigned char tag = last && !noFinal ? crypto_secretstream_xchacha20poly1305_TAG_FINAL
                                                   : crypto_secretstream_xchacha20poly1305_TAG_MESSAGE;
        const std::size_t at = sealed.size();
        sealed.resize(at + count + crypto_secretstream_xchacha20poly1305_ABYTES);
        if (crypto_secretstream_xchacha20poly1305_push(&state, sealed.data() + at, nullptr,
                                                       plain.data() + offset, count, nullptr, 0, tag) != 0) {
            return false;
        }
        offset += count;
    } while (offset < plain.size());
    return true;
}

void applyFaults(const SealFaults& faults, std::vector<unsigned char>& sealed) {
    if (faults.flipByte && *faults.flipByte < sealed.size()) {
        sealed[*faults.flipByte] = static_cast<unsigned char>(~sealed[*faults.flipByte]);
    }
    if (faults.truncateTo && *faults.truncateTo < sealed.size()) {
        sealed.resize(*faults.truncateTo);
    }
    for (std::size_t k = 0; k < faults.appendGarbage; ++k) {
        sealed.push_back(static_cast<unsigned char>(0xA5 ^ k));
    }
}

} // namespace

bool sealFile(const std::filesystem::path& plain, const std::filesystem::path& sealed,
              const std::array<unsigned char, 32>& key, const SealFaults& faults) {
    std::vector<unsigned char> input;
    std::vector<unsigned char> output;
    if (sodium_init() < 0 || !readWhole(plain, input) || !sealBytes(input, key, faults.noFinal, output)) {
        return false;
    }
    applyFaults(faults, output);
    {
        std::ofstream out(sealed, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(output.data()), static_cast<std::streamsize>(output.size()));
        out.close();
        if (out) {
            return true;
        }
    }
    std::error_code ignored;
    std::filesystem::remove(sealed, ignored);
    return false;
}

} // namespace zeph::sealdata
