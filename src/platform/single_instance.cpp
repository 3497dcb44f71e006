#include "platform/single_instance.h"

#include <cerrno>
#include <cstdio>
#include <mutex>
#include <string>
#include <system_error>
#include <vector>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include "platform/known_folders.h"

namespace zeph {

namespace {

// Held locks live as long as the process; the descriptors close when it ends.
class HeldLocks {
public:
    ~HeldLocks() {
        for (int fd : fds_) {
            ::close(fd);
        }
    }
    void keep(int fd) {
        std::lock_guard lock(mutex_);
        fds_.push_back(fd);
    }

private:
    std::mutex mutex_;
    std::vector<int> fds_;
};

HeldLocks heldLocks;

bool isPlainNameChar(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '.' ||
           c == '_' || c == '-';
}

std::string plainName(std::string_view name) {
    std::string out(name);
    for (char& c : out) {
        if (!isPlainNameChar(c)) {
            c = '_';
        }
    }
    return out;
}

std::filesystem::path tempFolder() {
    std::error_code error;
    auto folder = std::filesystem::temp_directory_path(error);
    return error ? std::filesystem::path("/tmp") : folder;
}

void reportUnusableLock(const std::filesystem::path& file, int error) {
    std::string reason = std::system_category().message(error);
    std::fprintf(stderr, "single instance lock %s: %s\n", file.c_str(), reason.c_str());
}

} // namespace

std::filesystem::path singleInstanceLockPath(std::string_view name) {
    std::string plain = plainName(name);
    if (auto runtime = absolutePathFromEnv("XDG_RUNTIME_DIR")) {
        return *runtime / (plain + ".lock");
    }
    return tempFolder() / (plain + "-" + std::to_string(::getuid()) + ".lock");
}

bool acquireSingleInstance(std::string_view name) {
    try {
        std::filesystem::path file = singleInstanceLockPath(name);
        int fd = ::open(file.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
        if (fd < 0) {
            reportUnusableLock(file, errno);
            return true;
        }
        if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
            int error = errno;
            ::close(fd);
            if (error == EWOULDBLOCK) {
                return false;
            }
            reportUnusableLock(file, error);
            return true;
        }
        heldLocks.keep(fd);
        return true;
    } catch (...) {
        // Only an allocation can fail here; like a lock that cannot be made, it must not stop the program.
        return true;
    }
}

} // namespace zeph
