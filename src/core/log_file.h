#pragma once
#include <array>
#include <cstdint>
#include <filesystem>
#include <streambuf>
#include <string>
#include <string_view>

namespace zeph {

// The buffer under the log stream. A write that fails, as on a full disk, never silences the log nor leaves a
// cut line in it: the file is cut back to the end of its last whole line, the lines that did not reach it
// are counted (with the rest of a line whose start was lost), and the first write that gets through again
// is preceded by one event line that says how many were lost and why. The stream over it never goes bad.
class LogFileBuffer : public std::streambuf {
public:
    LogFileBuffer() { resetPutArea(); }
    ~LogFileBuffer() override { close(); }
    LogFileBuffer(const LogFileBuffer&) = delete;
    LogFileBuffer& operator=(const LogFileBuffer&) = delete;

    // Opens the file emptied, created when missing; false when it cannot be opened.
    bool open(const std::filesystem::path& file);
    bool isOpen() const { return fd_ >= 0; }
    // Writes out what is pending and closes the file.
    void close();

protected:
    int_type overflow(int_type ch) override;
    int sync() override;

private:
    void resetPutArea() { setp(buffer_.data(), buffer_.data() + buffer_.size()); }
    void writePending();
    bool writeBytes(std::string_view bytes, bool counted);
    void loseBytes(std::string_view bytes);
    std::string lostLinesNote() const;

    int fd_ = -1;
    std::string fileName_;
    std::uint64_t fileEnd_ = 0;   // bytes in the file
    std::uint64_t lineEnd_ = 0;   // bytes in the file up to and with its last LF
    std::uint64_t lostLines_ = 0; // since the last write that got through
    int lostError_ = 0;           // why the last write failed
    bool droppingLine_ = false;   // the start of the current line was lost, so its rest goes too
    std::array<char, 8192> buffer_{};
};

} // namespace zeph
