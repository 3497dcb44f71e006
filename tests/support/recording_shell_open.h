#pragma once
#include <filesystem>
#include <mutex>
#include <vector>

namespace zeph::test {

// Takes the place of the shell's "open" while it lives: records every path and answers with a fixed
// result. The real opener comes back at the end.
class RecordingShellOpen {
public:
    explicit RecordingShellOpen(bool result = true);
    ~RecordingShellOpen();
    RecordingShellOpen(const RecordingShellOpen&) = delete;
    RecordingShellOpen& operator=(const RecordingShellOpen&) = delete;

    std::vector<std::filesystem::path> paths() const;

private:
    mutable std::mutex mutex_;
    std::vector<std::filesystem::path> paths_;
    bool result_;
};

} // namespace zeph::test
