#include "core/atomic_file.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cerrno>
#include <charconv>
#include <optional>
#include <streambuf>
#include <string>
#include <string_view>
#include <system_error>

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

namespace zeph {

namespace {

// An output buffer over a file descriptor that remembers every failed write, so a full disk or a file-size
// limit cannot pass as success the way a silently short write would.
class FdOutBuf : public std::streambuf {
public:
    explicit FdOutBuf(int fd) : fd_(fd) { resetPutArea(); }

    // The errno of the first failed write, 0 while none failed.
    int error() const { return error_; }

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
        while (size > 0 && error_ == 0) {
            ssize_t written = ::write(fd_, data, size);
            if (written < 0 && errno == EINTR) {
                continue;
            }
            if (written <= 0) {
                error_ = written < 0 ? errno : EIO;
                break;
            }
            data += written;
            size -= static_cast<std::size_t>(written);
        }
        return error_ == 0;
    }

    int fd_;
    int error_ = 0;
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
            openError_ = created_ ? 0 : errno;
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
    // Why the temp file could not be made.
    std::error_code openError() const { return {openError_, std::generic_category()}; }
    int fd() const { return fd_; }

    // A replaced file keeps its permission bits; a new one gets the usual 0666 less the umask.
    void copyModeOf(const std::filesystem::path& target) const {
        struct stat old {};
        if (::stat(target.c_str(), &old) == 0 && S_ISREG(old.st_mode)) {
            (void)::fchmod(fd_, old.st_mode & 07777);
        }
    }

    // The data reaches the disk before the rename, so a crash never leaves a renamed but empty file. Sets
    // error when either fails.
    bool syncAndClose(std::error_code& error) {
        const int syncError = ::fsync(fd_) == 0 ? 0 : errno;
        const int closeError = closeFile();
        if (syncError != 0 || closeError != 0) {
            error.assign(syncError != 0 ? syncError : closeError, std::generic_category());
            return false;
        }
        return true;
    }

    bool renameOver(const std::filesystem::path& target, std::error_code& error) {
        std::filesystem::rename(path_, target, error);
        renamed_ = !error;
        return renamed_;
    }

private:
    // 0, or the errno of a failed close.
    int closeFile() {
        if (fd_ < 0) {
            return 0;
        }
        const int error = ::close(fd_) == 0 ? 0 : errno;
        fd_ = -1;
        return error;
    }

    std::filesystem::path path_;
    int fd_ = -1;
    int openError_ = 0;
    bool created_ = false;
    bool renamed_ = false;
};

bool allDigits(std::string_view text) {
    return !text.empty() &&
           std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// The writer's process id in a temp file name "<targetName>.tmp-<pid>-<n>"; none for any other name.
std::optional<pid_t> tempFileOwner(std::string_view name, const std::string& targetName) {
    const std::string prefix = targetName + ".tmp-";
    if (!name.starts_with(prefix)) {
        return std::nullopt;
    }
    name.remove_prefix(prefix.size());
    const std::size_t dash = name.find('-');
    if (dash == std::string_view::npos || !allDigits(name.substr(0, dash)) ||
        !allDigits(name.substr(dash + 1))) {
        return std::nullopt;
    }
    pid_t pid = 0;
    const auto [end, error] = std::from_chars(name.data(), name.data() + dash, pid);
    if (error != std::errc() || pid <= 0) {
        return std::nullopt;
    }
    return pid;
}

// EPERM: the process runs, under another user.
bool processRuns(pid_t pid) { return ::kill(pid, 0) == 0 || errno == EPERM; }

// A writer killed between making its temp file and renaming it leaves the temp file behind; the next write
// of the same target takes away those of processes that no longer run, so they cannot pile up in the
// user's folders. A temp file of a running writer, this process's own included, is never touched. A
// process id that a new process has taken meanwhile keeps its file until a later write.
void removeLeftoverTempFiles(const std::filesystem::path& target) {
    const std::filesystem::path folder = target.has_parent_path() ? target.parent_path() : ".";
    const std::string targetName = target.filename().string();
    std::error_code error;
    for (std::filesystem::directory_iterator entry(folder, error), end; !error && entry != end;
         entry.increment(error)) {
        const std::optional<pid_t> owner = tempFileOwner(entry->path().filename().native(), targetName);
        std::error_code ignored;
        if (owner && !processRuns(*owner) && entry->is_regular_file(ignored)) {
            std::filesystem::remove(entry->path(), ignored);
        }
    }
}

bool writeThrough(int fd, const std::function<bool(std::ostream&)>& write, std::error_code& error) {
    FdOutBuf buffer(fd);
    std::ostream out(&buffer);
    bool ok = write(out);
    out.flush();
    if (buffer.error() != 0) {
        error.assign(buffer.error(), std::generic_category());
    }
    return ok && out.good() && buffer.error() == 0;
}

} // namespace

bool writeFileAtomically(const std::filesystem::path& target, const std::function<bool(std::ostream&)>& write,
                         std::error_code& error) {
    removeLeftoverTempFiles(target);
    TempFile temp(target);
    if (!temp.isOpen()) {
        error = temp.openError();
        return false;
    }
    temp.copyModeOf(target);
    return writeThrough(temp.fd(), write, error) && temp.syncAndClose(error) &&
           temp.renameOver(target, error);
}

bool writeFileAtomically(const std::filesystem::path& target,
                         const std::function<bool(std::ostream&)>& write) {
    std::error_code error;
    return writeFileAtomically(target, write, error);
}

} // namespace zeph
