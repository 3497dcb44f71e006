// Sealed data files. Two kinds of input:
// - raw (first byte with its high bit set): the rest as a file opened with the program's key gives the plain
//   file or nothing, one logged failure at most, and never a plain file left behind after a failure;
// - sealed: the rest, repeated as the second byte says, is sealed with a fixed test key by the real writer,
//   then cut, flipped or lengthened by up to seven operations the input chooses. The file opens exactly when
//   the whole stream is still there unchanged (bytes after it do not count), and then gives the plain bytes
//   exactly, to a sink and to a file alike.
#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>
#include <vector>

#include "aircraft/data_file_crypto.h"
#include "fuzz/fuzz_support.h"
#include "sealdata/seal_file.h"

namespace {

using zeph::fuzz::check;
using Bytes = std::vector<unsigned char>;

const std::filesystem::path& folder() { return zeph::fuzz::ownFolder("fuzz_sealed_stream"); }

constexpr std::array<unsigned char, 32> kTestKey = {
    0x43, 0x6f, 0x72, 0x76, 0x61, 0x6e, 0x65, 0x20, 0x66, 0x75, 0x7a, 0x7a, 0x20, 0x74, 0x65, 0x73,
    0x74, 0x20, 0x6b, 0x65, 0x79, 0x2c, 0x20, 0x6e, 0x6f, 0x74, 0x20, 0x72, 0x65, 0x61, 0x6c, 0x2e};

void writeBytes(const std::filesystem::path& file, const unsigned char* data, std::size_t size) {
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
}

Bytes readBytes(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void openRaw(const std::uint8_t* data, std::size_t size) {
    const auto encrypted = folder() / "input.enc";
    const auto plain = folder() / "input.xml";
    writeBytes(encrypted, data, size);
    const bool opened = zeph::gf_streamDecrypt(encrypted, plain);
    check(opened == std::filesystem::exists(plain));
    zeph::gf_removeFile(plain);
}

// One operation of four bytes: kind, a position (16 bits, little-endian, taken modulo the length + 1) and a
// value (the flip mask, or how many bytes to append).
void applyOperation(const std::uint8_t* op, Bytes& sealed) {
    const std::size_t at = (op[1] | (op[2] << 8)) % (sealed.size() + 1);
    switch (op[0] % 3) {
    case 0:
        sealed.resize(at);
        break;
    case 1:
        if (at < sealed.size()) {
            sealed[at] ^= op[3] == 0 ? 0x01 : op[3];
        }
        break;
    default:
        for (std::size_t k = 0; k <= op[3]; ++k) {
            sealed.push_back(static_cast<unsigned char>(op[1] + k));
        }
        break;
    }
}

// The plain bytes of the file with the test key, to a sink and to a file; false when either refused it.
bool openWithTestKey(const std::filesystem::path& encrypted, Bytes& plain) {
    const auto plainFile = folder() / "sealed.xml";
    Bytes toSink;
    bool sinkOpened = true;
    bool fileOpened = true;
    try {
        zeph::lf_streamDecryptToSink(kTestKey.data(), encrypted.string(),
                                     [&](std::span<const unsigned char> bytes) {
                                         toSink.insert(toSink.end(), bytes.begin(), bytes.end());
                                     });
    } catch (const std::runtime_error&) {
        sinkOpened = false;
    }
    try {
        zeph::lf_streamDecryptFile(kTestKey.data(), encrypted.string(), plainFile.string());
        plain = readBytes(plainFile);
    } catch (const std::runtime_error&) {
        fileOpened = false;
    }
    zeph::gf_removeFile(plainFile);
    check(sinkOpened == fileOpened && (!sinkOpened || toSink == plain));
    return fileOpened;
}

void openSealed(const std::uint8_t* data, std::size_t size) {
    if (size < 1) {
        return;
    }
    const std::size_t repeats = 1 + data[0] % 16;
    const std::size_t operations = (data[0] >> 4) % 8;
    const std::size_t opBytes = std::min(size - 1, operations * 4);
    const std::uint8_t* ops = data + 1;
    Bytes plain;
    for (std::size_t k = 0; k < repeats; ++k) {
        plain.insert(plain.end(), ops + opBytes, data + size);
    }
    const auto plainFile = folder() / "plain.xml";
    const auto encrypted = folder() / "sealed.enc";
    writeBytes(plainFile, plain.data(), plain.size());
    check(zeph::sealdata::sealFile(plainFile, encrypted, kTestKey));
    const Bytes whole = readBytes(encrypted);
    Bytes sealed = whole;
    for (std::size_t k = 0; k + 4 <= opBytes; k += 4) {
        applyOperation(ops + k, sealed);
    }
    writeBytes(encrypted, sealed.data(), sealed.size());
    const bool intact =
        sealed.size() >= whole.size() && std::equal(whole.begin(), whole.end(), sealed.begin());
    Bytes opened;
    const bool open = openWithTestKey(encrypted, opened);
    check(open == intact && (!open || opened == plain));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size > 0 && (data[0] & 0x80) != 0) {
        openRaw(data + 1, size - 1);
    } else if (size > 0) {
        openSealed(data + 1, size - 1);
    }
    return 0;
}
