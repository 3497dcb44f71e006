#include <algorithm>
#include <array>
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <sodium.h>

#include "aircraft/data_file_crypto.h"
#include "support/log_fixture.h"
#include "support/sealed_files.h"

namespace zeph {
namespace {

namespace fs = std::filesystem;
using DataFileCrypto = test::LogFixture;

std::array<unsigned char, 32> randomKey() {
    std::array<unsigned char, 32> key{};
    randombytes_buf(key.data(), key.size());
    return key;
}

std::string patternBytes(std::size_t n) {
    std::string bytes(n, '\0');
    for (std::size_t k = 0; k < n; ++k) {
        bytes[k] = static_cast<char>(k * 31 + 7);
    }
    return bytes;
}

TEST_F(DataFileCrypto, RoundTripKeepsTheBytesAndTheChunkedSize) {
    ASSERT_GE(sodium_init(), 0);
    const auto key = randomKey();
    for (const std::size_t n : {0UL, 1UL, 4095UL, 4096UL, 4097UL, 8192UL, 1048579UL}) {
        SCOPED_TRACE(n);
        const std::string plain = patternBytes(n);
        test::writeSealed(dir() / "s.enc", plain, key);
        const std::size_t chunks = std::max<std::size_t>(1, (n + 4095) / 4096);
        EXPECT_EQ(fs::file_size(dir() / "s.enc"), 24 + n + 17 * chunks);
        lf_streamDecryptFile(key.data(), "s.enc", "o.xml");
        EXPECT_EQ(test::readFileBytes(dir() / "o.xml"), plain);
    }
}

TEST_F(DataFileCrypto, EveryFailureLeavesNoPlainFileAndOneLine) {
    ASSERT_GE(sodium_init(), 0);
    struct Case {
        const char* name;
        sealdata::SealFaults faults;
        bool wrongKey;
        fs::path encrypted;
        fs::path plain;
        std::optional<std::string> error; // the text after "gf_streamDecrypt exception: "; none for success
    };
    const std::vector<Case> cases = {
        {"wrong key", {}, true, "d.enc", "d.xml", "Invalid header or key"},
        {"flipped header byte", {.flipByte = 3}, false, "d.enc", "d.xml", "Invalid header or key"},
        {"flipped byte in chunk 2", {.flipByte = 24 + 4113 + 5}, false, "d.enc", "d.xml", "Decryption failed"},
        {"no final chunk", {.noFinal = true}, false, "d.enc", "d.xml",
         "Decryption failed: stream ends before its final chunk"},
        {"cut at a chunk boundary", {.truncateTo = 24 + 4113}, false, "d.enc", "d.xml",
         "Decryption failed: stream ends before its final chunk"},
        {"shorter than the header", {.truncateTo = 10}, false, "d.enc", "d.xml", "Invalid header or key"},
        {"missing file", {}, false, "missing.enc", "d.xml", "Could not open input file: missing.enc"},
        {"plain folder missing", {}, false, "d.enc", "nofolder/d.xml", "Could not open output file: nofolder/d.xml"},
        {"garbage after the final chunk", {.appendGarbage = 50}, false, "d.enc", "d.xml", std::nullopt},
    };
    const std::string xml = "<root>" + std::string(5000, 'x') + "</root>";
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        test::writeSealed(dir() / "d.enc", xml, c.wrongKey ? randomKey() : gf_dataFileKey(), c.faults);
        test::writeFileBytes(dir() / "d.xml", "stale plain file");
        const std::size_t before = readLog().size();
        EXPECT_EQ(gf_streamDecrypt(c.encrypted, c.plain), !c.error.has_value());
        const std::vector<std::string> lines = readLog();
        const std::vector<std::string> added(lines.begin() + static_cast<std::ptrdiff_t>(before), lines.end());
        if (c.error) {
            EXPECT_EQ(added, std::vector<std::string>{"gf_streamDecrypt exception: " + *c.error});
            EXPECT_FALSE(fs::exists(dir() / c.plain));
        } else {
            EXPECT_TRUE(added.empty());
            EXPECT_EQ(test::readFileBytes(dir() / "d.xml"), xml) << "the old plain file is overwritten";
        }
        fs::remove(dir() / "d.xml");
    }
}

TEST_F(DataFileCrypto, RemovingAMissingFileSaysNothingAFullFolderIsReported) {
    gf_removeFile("missing.xml");
    fs::create_directories(dir() / "full");
    test::writeFileBytes(dir() / "full" / "x", "x");
    gf_removeFile("full");
    EXPECT_EQ(readLog(), std::vector<std::string>{"==> Warning: could not remove full, errorcode: Directory not empty"});
}

} // namespace
} // namespace zeph
