#include "support/temp_dir.h"

#include <atomic>
#include <fstream>
#include <random>
#include <sstream>
#include <stdexcept>
#include <system_error>

#include <unistd.h>

namespace zeph::test {

namespace {

std::filesystem::path makeUniqueFolder() {
    static std::atomic<unsigned> counter{0};
    std::random_device device;
    for (int attempt = 0; attempt < 100; ++attempt) {
        auto name = "corvane-test-" + std::to_string(::getpid()) + "-" + std::to_string(counter++) + "-" +
                    std::to_string(device());
        auto path = std::filesystem::temp_directory_path() / name;
        if (std::filesystem::create_directory(path)) {
            return path;
        }
    }
    throw std::runtime_error("TempDir: cannot create a unique folder");
}

} // namespace

TempDir::TempDir() : path_(makeUniqueFolder()) {}

TempDir::~TempDir() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

ProgramDir::ProgramDir() : previous_(std::filesystem::current_path()) {
    std::filesystem::current_path(path());
}

ProgramDir::~ProgramDir() {
    std::error_code ignored;
    std::filesystem::current_path(previous_, ignored);
}

std::string readFileBytes(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

std::vector<std::string> readFileLines(const std::filesystem::path& file) {
    std::vector<std::string> lines;
    std::string bytes = readFileBytes(file);
    std::size_t start = 0;
    while (start < bytes.size()) {
        auto end = bytes.find('\n', start);
        if (end == std::string::npos) {
            lines.push_back(bytes.substr(start));
            break;
        }
        lines.push_back(bytes.substr(start, end - start));
        start = end + 1;
    }
    return lines;
}

void writeFileBytes(const std::filesystem::path& file, const std::string& bytes) {
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out) {
        throw std::runtime_error("writeFileBytes: cannot write " + file.string());
    }
}

} // namespace zeph::test
