#include "platform/shell.h"

#include <cerrno>
#include <cstdlib>
#include <mutex>
#include <string>
#include <string_view>
#include <utility>

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace zeph {

namespace {

std::mutex handlerMutex;
std::function<bool(const std::filesystem::path&)> testHandler;

// Owns one descriptor and closes it on every way out.
class OwnedFd {
public:
    OwnedFd() = default;
    explicit OwnedFd(int fd) : fd_(fd) {}
    ~OwnedFd() { reset(); }
    OwnedFd(const OwnedFd&) = delete;
    OwnedFd& operator=(const OwnedFd&) = delete;

    int get() const { return fd_; }
    void reset() {
        if (fd_ >= 0) {
            ::close(fd_);
            fd_ = -1;
        }
    }

private:
    int fd_ = -1;
};

bool isExecutableFile(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) && ::access(path.c_str(), X_OK) == 0;
}

// Tells the waiting parent why the spawn failed; only async-signal-safe calls run after fork.
void reportErrno(int reportFd) {
    int error = errno;
    ssize_t written = ::write(reportFd, &error, sizeof error);
    (void)written;
}

// The intermediate child: it starts the real one in a session of its own and exits at once, so the
// parent reaps it without waiting for xdg-open and no zombie is left behind.
[[noreturn]] void runIntermediate(const char* program, char* const argv[], int reportFd) {
    pid_t grandchild = ::fork();
    if (grandchild < 0) {
        reportErrno(reportFd);
        ::_exit(1);
    }
    if (grandchild == 0) {
        ::setsid();
        // The program blocks its close signals in every thread and a blocked mask survives exec: the opener
        // and the file manager it may become must stay stoppable by Ctrl-C and kill.
        sigset_t none;
        ::sigemptyset(&none);
        ::sigprocmask(SIG_SETMASK, &none, nullptr);
        // A pipe's reader that goes ends the opener as usual; the window layer ignores SIGPIPE for itself.
        ::signal(SIGPIPE, SIG_DFL);
        // The opener must not read the program's own standard input.
        int devNull = ::open("/dev/null", O_RDONLY);
        if (devNull >= 0 && devNull != STDIN_FILENO) {
            ::dup2(devNull, STDIN_FILENO);
            ::close(devNull);
        }
        ::execv(program, argv);
        reportErrno(reportFd);
        ::_exit(127);
    }
    ::_exit(0);
}

// True when program was executed. The report pipe closes on exec, so an empty read means success.
bool spawnDetached(std::string program, std::string argument) {
    int ends[2];
    if (::pipe2(ends, O_CLOEXEC) != 0) {
        return false;
    }
    OwnedFd readEnd(ends[0]);
    OwnedFd writeEnd(ends[1]);
    char* argv[] = {program.data(), argument.data(), nullptr};

    pid_t child = ::fork();
    if (child < 0) {
        return false;
    }
    if (child == 0) {
        runIntermediate(program.c_str(), argv, writeEnd.get());
    }
    writeEnd.reset();

    int error = 0;
    ssize_t got;
    do {
        got = ::read(readEnd.get(), &error, sizeof error);
    } while (got < 0 && errno == EINTR);

    int status = 0;
    while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    return got == 0;
}

bool openWithXdgOpen(const std::filesystem::path& target) {
    std::filesystem::path opener = findXdgOpen();
    if (opener.empty()) {
        return false;
    }
    std::string argument = target.native();
    // A name starting with '-' would be taken for an option.
    if (!argument.empty() && argument.front() == '-') {
        argument.insert(0, "./");
    }
    return spawnDetached(opener.native(), std::move(argument));
}

} // namespace

std::filesystem::path findXdgOpen() {
    const char* value = std::getenv("PATH");
    if (value == nullptr || value[0] == '\0') {
        return {};
    }
    std::string_view folders = value;
    std::size_t start = 0;
    while (true) {
        auto colon = folders.find(':', start);
        std::string folder(folders.substr(start, colon == std::string_view::npos ? colon : colon - start));
        // An empty entry means the current folder in PATH's rules.
        std::string candidate = (folder.empty() ? std::string(".") : folder) + "/xdg-open";
        if (isExecutableFile(candidate)) {
            return candidate;
        }
        if (colon == std::string_view::npos) {
            return {};
        }
        start = colon + 1;
    }
}

bool shellOpen(const std::filesystem::path& target) {
    try {
        std::function<bool(const std::filesystem::path&)> handler;
        {
            std::lock_guard lock(handlerMutex);
            handler = testHandler;
        }
        if (handler) {
            return handler(target);
        }
        return openWithXdgOpen(target);
    } catch (...) {
        return false;
    }
}

void setShellOpenHandlerForTests(std::function<bool(const std::filesystem::path&)> handler) {
    std::lock_guard lock(handlerMutex);
    testHandler = std::move(handler);
}

} // namespace zeph
