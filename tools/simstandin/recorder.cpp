#include "simstandin/recorder.h"

#include <cerrno>
#include <cstring>
#include <iostream>
#include <stdexcept>

#include <fmt/format.h>

namespace zeph::standin {

Recorder::Recorder(std::filesystem::path file, std::uint32_t positionEvery)
    : path_(std::move(file)), file_(std::fopen(path_.c_str(), "w")), positionEvery_(positionEvery) {
    if (file_ == nullptr) {
        throw std::runtime_error(
            fmt::format("cannot write the record {}: {}", path_.string(), std::strerror(errno)));
    }
}

Recorder::~Recorder() {
    if (file_ != nullptr) {
        std::fclose(file_);
    }
}

void Recorder::noteClosing(std::int64_t utcMs) {
    if (!failed_) {
        queue_.push_back(closingRecordLine(RecordStamp{wallMs(), utcMs}));
    }
}

std::vector<std::string> Recorder::take() {
    std::vector<std::string> lines;
    lines.swap(queue_);
    return lines;
}

void Recorder::write(const std::vector<std::string>& lines) {
    if (failed_ || lines.empty()) {
        return;
    }
    for (const std::string& line : lines) {
        std::fputs(line.c_str(), file_);
        std::fputc('\n', file_);
    }
    if (std::fflush(file_) != 0 || std::ferror(file_) != 0) {
        failed_ = true;
        std::cerr << fmt::format("simstandin: recording stopped: cannot write {}: {}\n", path_.string(),
                                 std::strerror(errno))
                  << std::flush;
    }
}

std::int64_t Recorder::wallMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::system_clock::now().time_since_epoch())
        .count();
}

} // namespace zeph::standin
