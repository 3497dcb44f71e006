#include "platform/write_probe.h"

#include <fcntl.h>
#include <mutex>
#include <unistd.h>

namespace zeph {

namespace {

std::mutex probeMutex;
std::function<bool(const std::filesystem::path&, const std::string&)> probeForTests;

} // namespace

bool canCreateFileIn(const std::filesystem::path& folder, const std::string& name) {
    {
        const std::lock_guard lock(probeMutex);
        if (probeForTests) {
            return probeForTests(folder, name);
        }
    }
    const std::filesystem::path file = folder / name;
    const int fd = ::open(file.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0) {
        return false;
    }
    const char zero = 0;
    const bool written = ::write(fd, &zero, 1) == 1;
    const bool closed = ::close(fd) == 0;
    ::unlink(file.c_str());
    return written && closed;
}

void setWriteProbeForTests(std::function<bool(const std::filesystem::path&, const std::string&)> probe) {
    const std::lock_guard lock(probeMutex);
    probeForTests = std::move(probe);
}

} // namespace zeph
