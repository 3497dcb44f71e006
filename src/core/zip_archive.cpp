#include "core/zip_archive.h"

#include <zip.h>

namespace zeph {

namespace {

std::string textOfCode(int code) {
    zip_error_t error;
    zip_error_init_with_code(&error, code);
    std::string text = zip_error_strerror(&error);
    zip_error_fini(&error);
    return text;
}

bool openWithFlags(zip*& archive, std::string& lastError, const std::filesystem::path& path, int flags) {
    int code = 0;
    archive = zip_open(path.c_str(), flags, &code);
    if (archive == nullptr) {
        lastError = textOfCode(code);
        return false;
    }
    return true;
}

} // namespace

ZipArchive::~ZipArchive() {
    if (archive_ != nullptr) {
        zip_discard(archive_);
    }
}

bool ZipArchive::openRead(const std::filesystem::path& path, bool checkConsistency) {
    return !isOpen() &&
           openWithFlags(archive_, lastError_, path, ZIP_RDONLY | (checkConsistency ? ZIP_CHECKCONS : 0));
}

bool ZipArchive::create(const std::filesystem::path& path) {
    return !isOpen() && openWithFlags(archive_, lastError_, path, ZIP_CREATE | ZIP_TRUNCATE);
}

std::vector<ZipArchive::Entry> ZipArchive::entries() const {
    std::vector<Entry> list;
    if (archive_ == nullptr) {
        return list;
    }
    const zip_int64_t count = zip_get_num_entries(archive_, 0);
    for (zip_int64_t k = 0; k < count; ++k) {
        zip_stat_t stat;
        zip_stat_init(&stat);
        const auto index = static_cast<zip_uint64_t>(k);
        if (zip_stat_index(archive_, index, 0, &stat) == 0) {
            list.push_back(Entry{(stat.valid & ZIP_STAT_NAME) ? stat.name : "",
                                 (stat.valid & ZIP_STAT_SIZE) ? stat.size : 0, index});
        }
    }
    return list;
}

int ZipArchive::readContent(std::uint64_t index, std::size_t chunkBytes, const Sink& sink) {
    if (archive_ == nullptr || chunkBytes == 0) {
        return ZIP_ER_INVAL;
    }
    zip_file_t* file = zip_fopen_index(archive_, index, 0);
    if (file == nullptr) {
        const int code = zip_error_code_zip(zip_get_error(archive_));
        lastError_ = zip_strerror(archive_);
        return code == 0 ? ZIP_ER_INTERNAL : code;
    }
    std::vector<char> buffer(chunkBytes);
    int result = 0;
    while (true) {
        const zip_int64_t read = zip_fread(file, buffer.data(), buffer.size());
        if (read < 0) {
            result = zip_error_code_zip(zip_file_get_error(file));
            lastError_ = zip_file_strerror(file);
            result = result == 0 ? ZIP_ER_READ : result;
            break;
        }
        if (read == 0) {
            break;
        }
        if (!sink(std::span<const char>(buffer.data(), static_cast<std::size_t>(read)))) {
            result = ZIP_ER_WRITE;
            lastError_ = textOfCode(result);
            break;
        }
    }
    const int closed = zip_fclose(file);
    return result != 0 ? result : closed;
}

bool ZipArchive::addData(const std::string& name, std::span<const char> data) {
    if (archive_ == nullptr) {
        return false;
    }
    zip_source_t* source = zip_source_buffer(archive_, data.data(), data.size(), 0);
    if (source == nullptr) {
        lastError_ = zip_strerror(archive_);
        return false;
    }
    if (zip_file_add(archive_, name.c_str(), source, ZIP_FL_OVERWRITE | ZIP_FL_ENC_UTF_8) < 0) {
        lastError_ = zip_strerror(archive_);
        zip_source_free(source);
        return false;
    }
    return true;
}

int ZipArchive::close() {
    if (archive_ == nullptr) {
        return ZIP_ER_INVAL;
    }
    if (zip_close(archive_) != 0) {
        const int code = zip_error_code_zip(zip_get_error(archive_));
        lastError_ = zip_strerror(archive_);
        zip_discard(archive_);
        archive_ = nullptr;
        return code == 0 ? ZIP_ER_INTERNAL : code;
    }
    archive_ = nullptr;
    return 0;
}

std::string ZipArchive::errorText() const { return lastError_; }

} // namespace zeph
