#pragma once
#include <array>
#include <filesystem>
#include <string_view>

#include "aircraft/data_file_key.h"
#include "sealdata/seal_file.h"

namespace zeph::test {

// Seals xml into file with key, damaged as faults say; fails the test when sealing fails.
void writeSealed(const std::filesystem::path& file, std::string_view xml,
                 const std::array<unsigned char, 32>& key = gf_dataFileKey(),
                 const sealdata::SealFaults& faults = {});

// Copies the build's sealed sample dbase.enc into dir/input, for tests that start a whole run.
void writeSampleDbase(const std::filesystem::path& dir);

// Copies the build's sealed sample airports.enc into dir/input and makes the empty airports/my_thirdparty
// and airports/my_ORBX an installation has.
void writeSampleAirports(const std::filesystem::path& dir);

} // namespace zeph::test
