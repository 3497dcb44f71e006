#include "core/atomic_file.h"

#include <array>
#include <atomic>
#include <cerrno>
#include <streambuf>
#include <string>
#include <system_error>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace zeph {

namespace {

// An output buffer over a file descriptor that remembers every failed write, so a full disk or a file-size
// limit cannot pass as success the way a silently short write would.
class FdOutBuf : public std::streambuf {
public:
    explicit FdOutBuf(int fd) : fd_(fd) { resetPutArea(); }

    bool failed() const { return failed_; }

protected:
    int_type overflow(int_type ch) override {
        if (!flushBuffer()) {
            return traits_type::eof();
        }
        if (!traits_type::eq_int_type(ch, traits_type::eof())) {
            *pptr() = traits_type::to_char_type(ch);
            pbump(1);
        }
        return traits_type::not_eof(ch);
    }

    int sync() override { return flushBuffer() ? 0 : -1; }

    std::streamsize xsputn(const char* data, std::streamsize count) override {
        if (count < static_cast<std::streamsize>(buffer_.size())) {
            return std::streambuf::xsputn(data, count);
        }
        // Large pieces go straight to the file instead of through the buffer.
        if (!flushBuffer() || !writeAll(data, static_cast<std::size_t>(count))) {
            return 0;
        }
        return count;
    }

private:
    void resetPutArea() { setp(buffer_.data(), buffer_.data() + buffer_.size()); }

    bool flushBuffer() {
        auto pending = static_cast<std::size_t>(pptr() - pbase());
        bool ok = pending == 0 || writeAll(pbase(), pending);
        resetPutArea();
        return ok;
    }

    bool writeAll(const char* data, std::size_t size) {
        while (size > 0 && !failed_) {
            ssize_t written = ::write(fd_, data, size);
            if (written < 0 && errno == EINTR) {
                continue;
            }
            if (written <= 0) {
                failed_ = true;
                break;
            }
            data += written;
            size -= static_cast<std::size_t>(written);
        }
        return !failed_;
    }

    int fd_;
    bool failed_ = false;
    std::array<char, 64 * 1024> buffer_{};
};

// The temp file beside the target: created exclusively (a stale temp file of another run is never
// reused), removed on every way out unless it was renamed over the target.
class TempFile {
public:
    explicit TempFile(const std::filesystem::path& target) {
        static std::atomic<unsigned long> counter{0};
        const std::string prefix = target.native() + ".tmp-" + std::to_string(::getpid()) + "-";
        for (int attempt = 0; attempt < 100 && fd_ < 0; ++attempt) {
            path_ = prefix + std::to_string(++counter);
            fd_ = ::open(path_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
            created_ = fd_ >= 0;
            if (fd_ < 0 && errno != EEXIST) {
                break;
            }
        }
    }

    ~TempFile() {
        closeFile();
        if (created_ && !renamed_) {
            ::unlink(path_.c_str());
        }
    }

    TempFile(const TempFile&) = delete;
    TempFile& operator=(const TempFile&) = delete;

    bool isOpen() const { return fd_ >= 0; }
    int fd() const { return fd_; }

    // A replaced file keeps its permission bits; a new one gets the usual 0666 less the umask.
    void copyModeOf(const std::filesystem::path& target) const {
        struct stat old {};
        if (::stat(target.c_str(), &old) == 0 && S_ISREG(old.st_mode)) {
            (void)::fchmod(fd_, old.st_mode & 07777);
        }
    }

    // The data reaches the disk before the rename, so a crash never leaves a renamed but empty file.
    bool syncAndClose() {
        bool ok = ::fsync(fd_) == 0;
        return closeFile() && ok;
    }

    bool renameOver(const std::filesystem::path& target) {
        std::error_code error;
        std::filesystem::rename(path_, target, error);
        renamed_ = !error;
        return renamed_;
    }

private:
    bool closeFile() {
        if (fd_ < 0) {
            return true;
        }
        bool ok = ::close(fd_) == 0;
        fd_ = -1;
        return ok;
    }

    std::filesystem::path path_;
    int fd_ = -1;
    bool created_ = false;
    bool renamed_ = false;
};

bool writeThrough(int fd, const std::function<bool(std::ostream&)>& write) {
    FdOutBuf buffer(fd);
    std::ostream out(&buffer);
    bool ok = write(out);
    out.flush();
    return ok && out.good() && !buffer.failed();
}

} // namespace

bool writeFileAtomically(const std::filesystem::path& target,
                         const std::function<bool(std::ostream&)>& write) {
    TempFile temp(target);
    if (!temp.isOpen()) {
        return false;
    }
    temp.copyModeOf(target);
    if (!writeThrough(temp.fd(), write)) {
        return false;
    }
    if (!temp.syncAndClose()) {
        return false;
    }
    return temp.renameOver(target);
}

} // namespace zeph
