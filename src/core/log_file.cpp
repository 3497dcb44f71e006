#include "core/log_file.h"

#include <algorithm>
#include <cerrno>
#include <system_error>

#include <fcntl.h>
#include <unistd.h>

#include <fmt/format.h>

namespace zeph {

bool LogFileBuffer::open(const std::filesystem::path& file) {
    close();
    // Appending, so that after the file is cut back to a whole line the next line follows it.
    fd_ = ::open(file.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_APPEND | O_CLOEXEC, 0666);
    fileName_ = file.string();
    return fd_ >= 0;
}

void LogFileBuffer::close() {
    if (fd_ >= 0) {
        writePending();
        ::close(fd_);
        fd_ = -1;
    }
    resetPutArea();
    fileEnd_ = lineEnd_ = lostLines_ = 0;
    lostError_ = 0;
    droppingLine_ = false;
}

LogFileBuffer::int_type LogFileBuffer::overflow(int_type ch) {
    writePending();
    if (!traits_type::eq_int_type(ch, traits_type::eof())) {
        *pptr() = traits_type::to_char_type(ch);
        pbump(1);
    }
    return traits_type::not_eof(ch);
}

int LogFileBuffer::sync() {
    writePending();
    return 0;
}

void LogFileBuffer::writePending() {
    std::string_view pending(pbase(), static_cast<std::size_t>(pptr() - pbase()));
    resetPutArea(); // the bytes stay in buffer_ until the next write into it
    if (fd_ < 0) {
        return;
    }
    if (droppingLine_) {
        const auto lineFeed = pending.find('\n');
        if (lineFeed == std::string_view::npos) {
            return;
        }
        ++lostLines_;
        droppingLine_ = false;
        pending.remove_prefix(lineFeed + 1);
    }
    if (pending.empty()) {
        return;
    }
    if (lostLines_ > 0) {
        if (!writeBytes(lostLinesNote(), false)) {
            loseBytes(pending);
            return;
        }
        lostLines_ = 0;
    }
    writeBytes(pending, true);
}

// The bytes to the end of the file; on a failure the file is cut back to its last whole line and, when
// counted, the lines of the bytes are lost.
bool LogFileBuffer::writeBytes(std::string_view bytes, bool counted) {
    std::size_t written = 0;
    int error = 0;
    while (written < bytes.size() && error == 0) {
        const ssize_t count = ::write(fd_, bytes.data() + written, bytes.size() - written);
        if (count > 0) {
            written += static_cast<std::size_t>(count);
        } else if (count == 0 || errno != EINTR) {
            error = count == 0 ? EIO : errno;
        }
    }
    const auto lastLineFeed = bytes.substr(0, written).rfind('\n');
    if (lastLineFeed != std::string_view::npos) {
        lineEnd_ = fileEnd_ + lastLineFeed + 1;
    }
    fileEnd_ += written;
    if (error == 0) {
        return true;
    }
    lostError_ = error;
    if (counted) {
        loseBytes(bytes.substr(written));
    }
    if (fileEnd_ > lineEnd_ && ::ftruncate(fd_, static_cast<off_t>(lineEnd_)) == 0) {
        fileEnd_ = lineEnd_;
    }
    return false;
}

// A line is lost when its LF does not reach the file; a line that goes on after the bytes is dropped up
// to its LF.
void LogFileBuffer::loseBytes(std::string_view bytes) {
    lostLines_ += static_cast<std::uint64_t>(std::count(bytes.begin(), bytes.end(), '\n'));
    droppingLine_ = !bytes.empty() && bytes.back() != '\n';
}

std::string LogFileBuffer::lostLinesNote() const {
    // A cut line that could not be cut off is ended first, so that the note stands on a line of its own.
    return fmt::format("{}==> writing {} failed: {}; {} lines lost\n", fileEnd_ > lineEnd_ ? "\n" : "",
                       fileName_, std::generic_category().message(lostError_), lostLines_);
}

} // namespace zeph
