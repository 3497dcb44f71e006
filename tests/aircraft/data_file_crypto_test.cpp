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

TEST_F(DataFileCrypto, RoundTripKeepsTheBytesAndTheChunkedSize) {
    ASSERT_GE(sodium_init(), 0);
    const auto key = randomKey();
    for (const std::size_t n : {0UL, 1UL, 4095UL, 4096UL, 4097UL, 8192UL, 1048579UL}) {
        SCOPED_TRACE(n);
        std::string plain(n, '\0');
        std::ranges::generate(plain, [k = 0]() mutable { return static_cast<char>(k++ * 31 + 7); });
        test::writeSealed(dir() / "s.enc", plain, key);
        EXPECT_EQ(fs::file_size(dir() / "s.enc"), 24 + n + 17 * std::max<std::size_t>(1, (n + 4095) / 4096));
        lf_streamDecryptFile(key.data(), "s.enc", "o.xml");
        EXPECT_EQ(test::readFileBytes(dir() / "o.xml"), plain);
    }
}

// A stale d.xml lies in the folder before each case: a failure removes it, a success overwrites it.
TEST_F(DataFileCrypto, EveryFailureLeavesNoPlainFileAndOneLine) {
    ASSERT_GE(sodium_init(), 0);
    struct Case {
        const char* name;
        sealdata::SealFaults faults;
        std::optional<std::string> error; // the text after "gf_streamDecrypt exception: "; none for success
        fs::path encrypted = "d.enc", plain = "d.xml";
    };
    const std::string chunkEnd = "Decryption failed: stream ends before its final chunk";
    const std::vector<Case> cases = {
        {"wrong key", {}, "Invalid header or key"},
        {"flipped header byte", {.flipByte = 3}, "Invalid header or key"},
        {"flipped byte in chunk 2", {.flipByte = 24 + 4113 + 5}, "Decryption failed"},
        {"no final chunk", {.noFinal = true}, chunkEnd},
        {"cut at a chunk boundary", {.truncateTo = 24 + 4113}, chunkEnd},
        {"shorter than the header", {.truncateTo = 10}, "Invalid header or key"},
        {"missing file", {}, "Could not open input file: missing.enc", "missing.enc"},
        {"plain folder missing", {}, "Could not open output file: nofolder/d.xml", "d.enc", "nofolder/d.xml"},
        {"garbage after the final chunk", {.appendGarbage = 50}, std::nullopt},
    };
    const std::string xml = "<root>" + std::string(5000, 'x') + "</root>";
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        test::writeSealed(dir() / "d.enc", xml,
                          c.name == std::string("wrong key") ? randomKey() : gf_dataFileKey(), c.faults);
        test::writeFileBytes(dir() / "d.xml", "stale plain file");
        const std::size_t before = readLog().size();
        EXPECT_EQ(gf_streamDecrypt(c.encrypted, c.plain), !c.error.has_value());
        const std::vector<std::string> lines = readLog();
        EXPECT_EQ(std::vector<std::string>(lines.begin() + static_cast<std::ptrdiff_t>(before), lines.end()),
                  c.error ? std::vector<std::string>{"gf_streamDecrypt exception: " + *c.error}
                          : std::vector<std::string>{});
        EXPECT_EQ(fs::exists(dir() / c.plain), !c.error.has_value());
        if (!c.error) {
            EXPECT_EQ(test::readFileBytes(dir() / "d.xml"), xml) << "the stale plain file is overwritten";
        }
        fs::remove(dir() / "d.xml");
    }
}

TEST_F(DataFileCrypto, RemovingAMissingFileSaysNothingAFullFolderIsReported) {
    gf_removeFile("missing.xml");
    fs::create_directories(dir() / "full");
    test::writeFileBytes(dir() / "full" / "x", "x");
    gf_removeFile("full");
    EXPECT_EQ(readLog(),
              std::vector<std::string>{"==> Warning: could not remove full, errorcode: Directory not empty"});
}

} // namespace
} // namespace zeph
