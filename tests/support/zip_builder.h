#pragma once
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

namespace zeph::test {

// A zip archive with these (name, bytes) entries in order, written with libzip directly rather than through
// the program's wrapper; fails the test when libzip does.
void writeZip(const std::filesystem::path& path,
              const std::vector<std::pair<std::string, std::string>>& entries);

} // namespace zeph::test
