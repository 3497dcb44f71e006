#include "support/sealed_files.h"

#include <string>

#include <gtest/gtest.h>

#include "support/temp_dir.h"

namespace zeph::test {

void writeSealed(const std::filesystem::path& file, std::string_view xml,
                 const std::array<unsigned char, 32>& key, const sealdata::SealFaults& faults) {
    const TempDir plainDir;
    const std::filesystem::path plain = plainDir / "plain.xml";
    writeFileBytes(plain, std::string(xml));
    ASSERT_TRUE(sealdata::sealFile(plain, file, key, faults)) << file;
}

void writeSampleDbase(const std::filesystem::path& dir) {
    std::filesystem::create_directories(dir / "input");
    std::filesystem::copy_file(std::filesystem::path(CORVANE_SEALED_DIR) / "dbase.enc",
                               dir / "input" / "dbase.enc",
                               std::filesystem::copy_options::overwrite_existing);
}

void writeSampleAirports(const std::filesystem::path& dir) {
    std::filesystem::create_directories(dir / "input");
    std::filesystem::create_directories(dir / "airports" / "my_thirdparty");
    std::filesystem::create_directories(dir / "airports" / "my_ORBX");
    std::filesystem::copy_file(std::filesystem::path(CORVANE_SEALED_DIR) / "airports.enc",
                               dir / "input" / "airports.enc",
                               std::filesystem::copy_options::overwrite_existing);
}

} // namespace zeph::test
