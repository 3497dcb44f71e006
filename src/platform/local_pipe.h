#pragma once
#include <chrono>
#include <filesystem>
#include <optional>
#include <string_view>

#include "platform/tcp_connect.h"

namespace zeph {

// Named pipes of the local machine, mapped to AF_UNIX stream sockets. The pipe "\\.\pipe\A\B" is the socket
// <pipeDir>/A/B; whoever serves the pipe listens there.
class LocalPipe {
public:
    // $CORVANE_PIPE_DIR, else $XDG_RUNTIME_DIR/corvane-pipes, else <temp dir>/corvane-pipes-<uid>. A variable
    // that is unset, empty or not an absolute path counts as unset.
    static std::filesystem::path pipeDir();

    // The socket path of a full pipe name "\\<server>\pipe\<name>" (UTF-8; "pipe" in any letter case).
    // Only the server "." is this machine; callers map an empty server name to "." before. '\' in the name
    // becomes '/'. nullopt for: a name that does not have that form, any other server, a name of 260 UTF-16
    // units or more with its terminator, a name that is not valid UTF-8 or holds NUL, an empty, "." or ".."
    // component (so the path never leaves pipeDir), or a path longer than sun_path holds (107 bytes).
    static std::optional<std::filesystem::path> socketPath(std::string_view fullName);

    // Connects to the pipe: a non-blocking AF_UNIX/SOCK_STREAM|SOCK_CLOEXEC connect to socketPath. A full
    // backlog (EAGAIN) means the pipe is busy: the connect is tried again every 50 ms until busyWait has
    // run out, then it fails with EAGAIN, or until stopAsked says yes, then it fails with ECANCELED. Every
    // other error fails at once (ENOENT: nothing serves the pipe, ECONNREFUSED: the server has gone); a name
    // without a socket path fails with EINVAL. The connected socket comes back blocking. Never throws, never
    // logs.
    static SocketResult connect(std::string_view fullName, std::chrono::milliseconds busyWait,
                                const StopAsked& stopAsked = {});
};

} // namespace zeph
