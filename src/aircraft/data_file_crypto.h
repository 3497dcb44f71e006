#pragma once
#include <filesystem>
#include <functional>
#include <span>
#include <string>

// The sealed data files: a libsodium secret stream (XChaCha20-Poly1305) of a 24-byte header and chunks of
// 4096 plain bytes plus 17 bytes of tag and MAC, the last one tagged final. Each is opened into a plain XML
// file beside it, read, and removed again, so the plain text exists only while it is read.

namespace zeph {

// Opens encrypted into plain (created or truncated) with the program's key. On any failure: one log line
// "gf_streamDecrypt exception: <text>", plain removed, false. Never throws.
bool gf_streamDecrypt(const std::filesystem::path& encrypted, const std::filesystem::path& plain);

// The opening itself, with any key. Throws std::runtime_error: "Could not open input file: <path>", "Could
// not open output file: <path>", "Invalid header or key", "Decryption failed", "Decryption failed: stream
// ends before its final chunk", "Could not write output file: <path>", "sodium_init failed".
void lf_streamDecryptFile(const unsigned char key[32], const std::string& encrypted,
                          const std::string& plain);

// Receives the plain bytes of each verified chunk in order; it may throw to stop the opening.
using PlainSink = std::function<void(std::span<const unsigned char>)>;

// The same opening into sink, so that a caller can check a sealed file without writing a plain copy. Throws
// as above, without the errors of the output file.
void lf_streamDecryptToSink(const unsigned char key[32], const std::string& encrypted, const PlainSink& sink);

// Removes file when it exists; a failed removal logs "Warning: could not remove <path>, errorcode: <reason>".
void gf_removeFile(const std::filesystem::path& file);

// Holds the path of a plain copy and removes it on every way out of its scope, also when a reader throws.
class ScopedPlainFile {
public:
    explicit ScopedPlainFile(std::filesystem::path plain) : plain_(std::move(plain)) {}
    ~ScopedPlainFile();
    ScopedPlainFile(const ScopedPlainFile&) = delete;
    ScopedPlainFile& operator=(const ScopedPlainFile&) = delete;

    const std::filesystem::path& path() const { return plain_; }

private:
    std::filesystem::path plain_;
};

} // namespace zeph
