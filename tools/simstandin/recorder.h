#pragma once
// Writes the stand-in's record. Lines are queued under the stand-in's mutex and written by the I/O thread
// outside it, so a slow disk never holds up a client. The first write error stops recording, with one line
// on stderr; the stand-in itself goes on.
#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "simstandin/record.h"

namespace zeph::standin {

class Recorder {
public:
    // Opens the file anew; throws std::runtime_error when it cannot.
    Recorder(std::filesystem::path file, std::uint32_t positionEvery);
    ~Recorder();
    Recorder(const Recorder&) = delete;
    Recorder& operator=(const Recorder&) = delete;

    std::uint32_t positionEvery() const { return positionEvery_; }

    // Under the stand-in's mutex.
    template <typename T> void note(const T& entry, std::int64_t utcMs) {
        if (!failed_) {
            queue_.push_back(recordLine(RecordStamp{wallMs(), utcMs}, entry));
        }
    }
    void noteClosing(std::int64_t utcMs);
    std::vector<std::string> take();

    // Outside the mutex, from one thread at a time.
    void write(const std::vector<std::string>& lines);

    static std::int64_t wallMs();

private:
    std::filesystem::path path_;
    std::FILE* file_ = nullptr;
    std::uint32_t positionEvery_;
    std::vector<std::string> queue_;
    std::atomic<bool> failed_{false};
};

} // namespace zeph::standin
