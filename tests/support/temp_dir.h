#pragma once
#include <filesystem>
#include <string>
#include <vector>

namespace zeph::test {

// A unique folder under the system temp dir, removed with everything in it at the end.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& path() const { return path_; }
    std::filesystem::path operator/(const std::filesystem::path& name) const { return path_ / name; }

private:
    std::filesystem::path path_;
};

// A TempDir that is the current folder while it lives; the previous folder comes back at the end.
class ProgramDir : public TempDir {
public:
    ProgramDir();
    ~ProgramDir();

private:
    std::filesystem::path previous_;
};

// The lines of a file, split at LF, without the LF; a final LF gives no empty last line.
std::vector<std::string> readFileLines(const std::filesystem::path& file);
std::string readFileBytes(const std::filesystem::path& file);
void writeFileBytes(const std::filesystem::path& file, const std::string& bytes);

} // namespace zeph::test
