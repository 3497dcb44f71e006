#include "support/recording_shell_open.h"

#include "platform/shell.h"

namespace zeph::test {

RecordingShellOpen::RecordingShellOpen(bool result) : result_(result) {
    setShellOpenHandlerForTests([this](const std::filesystem::path& target) {
        std::lock_guard lock(mutex_);
        paths_.push_back(target);
        return result_;
    });
}

RecordingShellOpen::~RecordingShellOpen() { setShellOpenHandlerForTests({}); }

std::vector<std::filesystem::path> RecordingShellOpen::paths() const {
    std::lock_guard lock(mutex_);
    return paths_;
}

} // namespace zeph::test
