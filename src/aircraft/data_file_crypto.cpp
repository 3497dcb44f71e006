#include "aircraft/data_file_crypto.h"

#include <array>
#include <fstream>
#include <mutex>
#include <span>
#include <stdexcept>
#include <system_error>
#include <vector>

#include <fmt/format.h>
#include <sodium.h>

#include "aircraft/data_file_key.h"
#include "core/log.h"

namespace zeph {

namespace {

constexpr std::size_t plainChunkBytes = 4096;
constexpr std::size_t cipherChunkBytes = plainChunkBytes + crypto_secretstream_xchacha20poly1305_ABYTES;

void initSodiumOnce() {
    static std::once_flag once;
    static int result = 0;
    std::call_once(once, [] { result = sodium_init(); });
    if (result < 0) {
        throw std::runtime_error("sodium_init failed");
    }
}

std::size_t readUpTo(std::ifstream& in, std::vector<unsigned char>& buffer) {
    in.read(reinterpret_cast<char*>(buffer.data()), static_cast<std::streamsize>(buffer.size()));
    return static_cast<std::size_t>(in.gcount());
}

// Opens one chunk read as count bytes. A read that ends the stream may hold the final chunk and bytes behind
// it, which are not part of the stream: then the final chunk is the one shorter prefix that opens with the
// final tag. A failed pull leaves the state as it was, so the prefixes can be tried in turn.
bool pullChunk(crypto_secretstream_xchacha20poly1305_state& state, const std::vector<unsigned char>& cipher,
               std::size_t count, std::vector<unsigned char>& opened, unsigned long long& openedBytes,
               unsigned char& tag) {
    auto pull = [&](std::size_t length) {
        return crypto_secretstream_xchacha20poly1305_pull(&state, opened.data(), &openedBytes, &tag,
                                                          cipher.data(), length, nullptr, 0) == 0;
    };
    if (pull(count)) {
        return true;
    }
    for (std::size_t length = count - 1; length >= crypto_secretstream_xchacha20poly1305_ABYTES; --length) {
        if (pull(length)) {
            return tag == crypto_secretstream_xchacha20poly1305_TAG_FINAL;
        }
    }
    return false;
}

} // namespace

namespace {

// The stream of in, opened chunk by chunk into sink; throws as the two forms below document.
void decryptStream(const unsigned char key[32], std::ifstream& in, const PlainSink& sink) {
    initSodiumOnce();
    // A short header would leave init_pull reading bytes that were never in the file.
    std::vector<unsigned char> header(crypto_secretstream_xchacha20poly1305_HEADERBYTES);
    crypto_secretstream_xchacha20poly1305_state state;
    if (readUpTo(in, header) != header.size() ||
        crypto_secretstream_xchacha20poly1305_init_pull(&state, header.data(), key) != 0) {
        throw std::runtime_error("Invalid header or key");
    }
    std::vector<unsigned char> cipher(cipherChunkBytes);
    std::vector<unsigned char> opened(plainChunkBytes);
    bool finalSeen = false;
    bool firstChunk = true;
    for (std::size_t count = readUpTo(in, cipher); count != 0 && !finalSeen; count = readUpTo(in, cipher)) {
        unsigned long long openedBytes = 0;
        unsigned char tag = 0;
        if (!pullChunk(state, cipher, count, opened, openedBytes, tag)) {
            // The header carries no check of its own: a wrong key or a damaged header shows at the first
            // chunk.
            throw std::runtime_error(firstChunk ? "Invalid header or key" : "Decryption failed");
        }
        sink(std::span<const unsigned char>(opened.data(), static_cast<std::size_t>(openedBytes)));
        finalSeen = tag == crypto_secretstream_xchacha20poly1305_TAG_FINAL;
        firstChunk = false;
    }
    sodium_memzero(opened.data(), opened.size());
    // Every writer ends its stream with a final chunk: a stream without one was cut short (an interrupted
    // download), and reading the part as the whole would lose data without a word.
    if (!finalSeen) {
        throw std::runtime_error("Decryption failed: stream ends before its final chunk");
    }
}

std::ifstream openEncrypted(const std::string& encrypted) {
    std::ifstream in(encrypted, std::ios::binary);
    if (!in) {
        throw std::runtime_error("Could not open input file: " + encrypted);
    }
    return in;
}

} // namespace

void lf_streamDecryptToSink(const unsigned char key[32], const std::string& encrypted,
                            const PlainSink& sink) {
    std::ifstream in = openEncrypted(encrypted);
    decryptStream(key, in, sink);
}

void lf_streamDecryptFile(const unsigned char key[32], const std::string& encrypted,
                          const std::string& plain) {
    std::ifstream in = openEncrypted(encrypted);
    std::ofstream out(plain, std::ios::binary | std::ios::trunc);
    if (!out) {
        throw std::runtime_error("Could not open output file: " + plain);
    }
    decryptStream(key, in, [&](std::span<const unsigned char> bytes) {
        out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    });
    out.close();
    if (!out) {
        throw std::runtime_error("Could not write output file: " + plain);
    }
}

bool gf_streamDecrypt(const std::filesystem::path& encrypted, const std::filesystem::path& plain) {
    std::array<unsigned char, 32> key = gf_dataFileKey();
    bool opened = false;
    try {
        lf_streamDecryptFile(key.data(), encrypted.string(), plain.string());
        opened = true;
    } catch (const std::exception& error) {
        gf_logText(fmt::format("{} exception: {}", "gf_streamDecrypt", error.what()));
    } catch (...) {
        gf_logText("gf_streamDecrypt exception: unknown");
    }
    sodium_memzero(key.data(), key.size());
    if (!opened) {
        gf_removeFile(plain);
    }
    return opened;
}

void gf_removeFile(const std::filesystem::path& file) {
    std::error_code error;
    if (!std::filesystem::remove(file, error) && error && error != std::errc::no_such_file_or_directory) {
        gf_logLine(
            fmt::format("Warning: could not remove {}, errorcode: {}", file.string(), error.message()));
    }
}

ScopedPlainFile::~ScopedPlainFile() {
    try {
        gf_removeFile(plain_);
    } catch (...) {
        // A log line that cannot be written must not end the program; the removal itself was tried.
    }
}

} // namespace zeph
