#include "platform/local_pipe.h"

#include <fcntl.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "platform/codepage.h"
#include "platform/known_folders.h"

namespace zeph {

namespace {

using Clock = std::chrono::steady_clock;

// A pipe name, with its terminator, must fit the 260 wide characters of a Windows path buffer.
constexpr std::size_t kMaxPipeNameUnits = 260;
// sun_path holds 108 bytes including the terminating NUL.
constexpr std::size_t kMaxSocketPathBytes = sizeof(sockaddr_un{}.sun_path) - 1;
constexpr auto kBusyRetry = std::chrono::milliseconds(50);

bool equalsIgnoringAsciiCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
        if (lower(a[i]) != lower(b[i])) {
            return false;
        }
    }
    return true;
}

// The part after "\\.\pipe\", or nullopt when the name has another form or names another server.
std::optional<std::string_view> localPipeName(std::string_view fullName) {
    constexpr std::string_view kPrefix = "\\\\";
    if (fullName.substr(0, kPrefix.size()) != kPrefix) {
        return std::nullopt;
    }
    std::string_view rest = fullName.substr(kPrefix.size());
    auto serverEnd = rest.find('\\');
    if (serverEnd == std::string_view::npos || rest.substr(0, serverEnd) != ".") {
        return std::nullopt;
    }
    rest = rest.substr(serverEnd + 1);
    auto pipeEnd = rest.find('\\');
    if (pipeEnd == std::string_view::npos || !equalsIgnoringAsciiCase(rest.substr(0, pipeEnd), "pipe")) {
        return std::nullopt;
    }
    return rest.substr(pipeEnd + 1);
}

// Splits the pipe name at '\' and '/' and refuses any component that could step out of the pipe folder.
std::optional<std::vector<std::string_view>> safeComponents(std::string_view name) {
    std::vector<std::string_view> parts;
    std::size_t start = 0;
    for (;;) {
        auto end = name.find_first_of("\\/", start);
        std::string_view part = name.substr(start, end == std::string_view::npos ? end : end - start);
        if (part.empty() || part == "." || part == "..") {
            return std::nullopt;
        }
        parts.push_back(part);
        if (end == std::string_view::npos) {
            return parts;
        }
        start = end + 1;
    }
}

SocketResult failure(int error) {
    SocketResult result;
    result.error = error;
    return result;
}

// One connect attempt; the socket comes back blocking when connected.
SocketResult connectOnce(const std::filesystem::path& path) {
    SocketFd fd(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
    if (!fd.valid()) {
        return failure(errno);
    }
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const std::string& text = path.native();
    std::memcpy(address.sun_path, text.data(), text.size());
    int rc;
    do {
        rc = ::connect(fd.get(), reinterpret_cast<const sockaddr*>(&address), sizeof(address));
    } while (rc < 0 && errno == EINTR);
    if (rc < 0) {
        return failure(errno);
    }
    int flags = ::fcntl(fd.get(), F_GETFL);
    if (flags < 0 || ::fcntl(fd.get(), F_SETFL, flags & ~O_NONBLOCK) < 0) {
        return failure(errno);
    }
    return SocketResult{std::move(fd), 0};
}

} // namespace

std::filesystem::path LocalPipe::pipeDir() {
    if (auto dir = absolutePathFromEnv("CORVANE_PIPE_DIR")) {
        return *dir;
    }
    if (auto runtime = absolutePathFromEnv("XDG_RUNTIME_DIR")) {
        return *runtime / "corvane-pipes";
    }
    std::error_code error;
    std::filesystem::path temp = std::filesystem::temp_directory_path(error);
    if (error || temp.empty()) {
        temp = "/tmp";
    }
    return temp / ("corvane-pipes-" + std::to_string(::getuid()));
}

std::optional<std::filesystem::path> LocalPipe::socketPath(std::string_view fullName) {
    if (fullName.find('\0') != std::string_view::npos) {
        return std::nullopt;
    }
    auto wide = utf8ToUtf16(fullName);
    if (!wide || wide->size() + 1 > kMaxPipeNameUnits) {
        return std::nullopt;
    }
    auto name = localPipeName(fullName);
    if (!name) {
        return std::nullopt;
    }
    auto parts = safeComponents(*name);
    if (!parts) {
        return std::nullopt;
    }
    std::filesystem::path path = pipeDir();
    for (std::string_view part : *parts) {
        path /= std::filesystem::path(part);
    }
    if (path.native().size() > kMaxSocketPathBytes) {
        return std::nullopt;
    }
    return path;
}

SocketResult LocalPipe::connect(std::string_view fullName, std::chrono::milliseconds busyWait,
                                const StopAsked& stopAsked) {
    auto path = socketPath(fullName);
    if (!path) {
        return failure(EINVAL);
    }
    auto deadline = Clock::now() + busyWait;
    for (;;) {
        SocketResult result = connectOnce(*path);
        // A full backlog is the busy pipe: wait for the server to take the clients before us.
        if (result.ok() || result.error != EAGAIN) {
            return result;
        }
        auto left = deadline - Clock::now();
        if (left <= Clock::duration::zero()) {
            return result;
        }
        if (isStopAsked(stopAsked)) {
            return failure(ECANCELED);
        }
        std::this_thread::sleep_for(std::min<Clock::duration>(left, kBusyRetry));
    }
}

} // namespace zeph
