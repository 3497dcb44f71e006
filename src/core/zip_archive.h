#pragma once
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <span>
#include <string>
#include <vector>

// A zip archive through libzip, owned as one object: opened for reading or created for writing, and closed
// or discarded when the object goes.

struct zip;

namespace zeph {

class ZipArchive {
public:
    struct Entry {
        std::string name;       // as the archive states it; never a path to write to
        std::uint64_t size = 0; // the stated uncompressed size
        std::uint64_t index = 0;
    };
    // Receives the content of an entry piece by piece; false stops the reading as a write failure.
    using Sink = std::function<bool(std::span<const char>)>;

    ZipArchive() = default;
    ~ZipArchive();
    ZipArchive(const ZipArchive&) = delete;
    ZipArchive& operator=(const ZipArchive&) = delete;

    // Read-only; checkConsistency also compares the central directory with the local headers.
    bool openRead(const std::filesystem::path& path, bool checkConsistency);
    std::vector<Entry> entries() const;
    // 0, or the libzip error code (a CRC mismatch shows when the entry is read to its end; a sink that
    // fails gives ZIP_ER_WRITE).
    int readContent(std::uint64_t index, std::size_t chunkBytes, const Sink& sink);

    // A new archive at path, replacing an old one when it is closed.
    bool create(const std::filesystem::path& path);
    // The caller keeps data alive until close.
    bool addData(const std::string& name, std::span<const char> data);
    // The result of writing the archive out: 0 on success.
    int close();

    bool isOpen() const { return archive_ != nullptr; }
    std::string errorText() const;

private:
    zip* archive_ = nullptr;
    std::string lastError_;
};

} // namespace zeph
