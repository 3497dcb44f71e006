#include "support/child_process.h"

#include <array>
#include <cerrno>
#include <csignal>
#include <stdexcept>
#include <string>

#include <fcntl.h>
#include <poll.h>
#include <sched.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include "core/log.h"

namespace zeph::test {

namespace {

// Reads both pipes until the child closes them, so a chatty child can never block on a full pipe.
void drain(int outFd, int errFd, std::string& out, std::string& err) {
    std::array<pollfd, 2> fds{{{outFd, POLLIN, 0}, {errFd, POLLIN, 0}}};
    std::array<std::string*, 2> sinks{&out, &err};
    int open = 2;
    char buffer[4096];
    while (open > 0) {
        if (::poll(fds.data(), fds.size(), -1) < 0) {
            if (errno == EINTR) {
                continue;
            }
            break;
        }
        for (std::size_t k = 0; k < fds.size(); ++k) {
            if (fds[k].fd < 0 || fds[k].revents == 0) {
                continue;
            }
            ssize_t n = ::read(fds[k].fd, buffer, sizeof buffer);
            if (n > 0) {
                sinks[k]->append(buffer, static_cast<std::size_t>(n));
            } else if (n == 0 || errno != EINTR) {
                fds[k].fd = -1;
                --open;
            }
        }
    }
}

} // namespace

ChildResult runChild(const std::filesystem::path& program, const std::vector<std::string>& args,
                     const std::filesystem::path& workingDir) {
    int outPipe[2];
    int errPipe[2];
    if (::pipe2(outPipe, O_CLOEXEC) != 0 || ::pipe2(errPipe, O_CLOEXEC) != 0) {
        throw std::runtime_error("runChild: pipe failed");
    }
    pid_t pid = ::fork();
    if (pid < 0) {
        throw std::runtime_error("runChild: fork failed");
    }
    if (pid == 0) {
        int devNull = ::open("/dev/null", O_RDONLY);
        ::dup2(devNull, 0);
        ::dup2(outPipe[1], 1);
        ::dup2(errPipe[1], 2);
        if (::chdir(workingDir.c_str()) != 0) {
            ::_exit(126);
        }
        std::vector<char*> argv;
        std::string programText = program.string();
        argv.push_back(programText.data());
        std::vector<std::string> copies(args);
        for (auto& arg : copies) {
            argv.push_back(arg.data());
        }
        argv.push_back(nullptr);
        ::execv(programText.c_str(), argv.data());
        ::_exit(127);
    }
    ::close(outPipe[1]);
    ::close(errPipe[1]);
    ChildResult result;
    drain(outPipe[0], errPipe[0], result.out, result.err);
    ::close(outPipe[0]);
    ::close(errPipe[0]);
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return result;
}

int endedProcessId() {
    const pid_t child = ::fork();
    if (child == 0) {
        ::_exit(0);
    }
    ::waitpid(child, nullptr, 0);
    return child;
}

namespace {

// run in a forked child after prepare: its result (0 or 1) as the exit code, 2 after an exception, 3 when
// prepare failed; -1 when the child did not end normally. The open log is flushed first, so the child never
// writes the parent's pending lines again.
int runInChild(const std::function<bool()>& prepare, const std::function<bool()>& run) {
    gf_flushLog();
    const pid_t child = ::fork();
    if (child < 0) {
        throw std::runtime_error("runInChild: fork failed");
    }
    if (child == 0) {
        int code = 3; // an exception must not go on running the parent's tests in the child
        try {
            if (prepare()) {
                code = 2;
                code = run() ? 1 : 0;
            }
        } catch (...) {
        }
        ::_exit(code);
    }
    int status = 0;
    while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

} // namespace

std::optional<bool> runWithFileSizeLimit(std::uint64_t limitBytes, const std::function<bool()>& run) {
    const int code = runInChild(
        [limitBytes] {
            std::signal(SIGXFSZ, SIG_IGN); // the write fails instead of ending the process
            // The hard limit stays, so that the child can lift the limit again.
            rlimit limit{};
            ::getrlimit(RLIMIT_FSIZE, &limit);
            limit.rlim_cur = limitBytes;
            return ::setrlimit(RLIMIT_FSIZE, &limit) == 0;
        },
        run);
    return code == 0 || code == 1 ? std::optional<bool>(code == 1) : std::nullopt;
}

void liftFileSizeLimit() {
    rlimit limit{};
    ::getrlimit(RLIMIT_FSIZE, &limit);
    limit.rlim_cur = limit.rlim_max;
    ::setrlimit(RLIMIT_FSIZE, &limit);
}

std::optional<bool> runWithoutRootFileRights(const std::function<bool()>& run) {
    const int code = runInChild([] { return ::unshare(CLONE_NEWUSER) == 0; }, run);
    if (code == 3) {
        return std::nullopt;
    }
    if (code != 0 && code != 1) {
        throw std::runtime_error("runWithoutRootFileRights: the child ended with " + std::to_string(code));
    }
    return code == 1;
}

} // namespace zeph::test
