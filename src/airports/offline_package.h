#pragma once
#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "state/main_window_state.h" // offlineLearningCount: the files packed by the last scan

// The offline-learning package: the airport files the scan generated for third-party scenery the maker
// has no archived file of, packed into tblo/tblo.zip for the user to send in.

namespace zeph {

class ZipArchive;

// Copies each known airport's generated file to tblo (removing its link, so the generated file is found),
// packs tblo into tblo.zip and reports; codes are the airports generated into my_thirdparty by this scan.
void lf_prepareTbloZip(const std::vector<std::string>& codes);
// Every regular file of tblo into zipFile; true when at least one was added and the zip is there.
bool lf_zipFolder(const std::filesystem::path& zipFile);
// Closes the archive, which writes it, and logs the outcome.
bool lf_zipFinish(ZipArchive& archive, const std::filesystem::path& zipFile, std::size_t added);
// The whole file; none when it cannot be read.
std::optional<std::vector<char>> lf_readFileBytes(const std::filesystem::path& file);

} // namespace zeph
