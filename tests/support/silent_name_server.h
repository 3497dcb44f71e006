#pragma once
#include <memory>
#include <string>
#include <string_view>

#include "platform/socket_fd.h"

namespace zeph::test {

// A name server that takes every question and never answers, so a look-up of any name not in the hosts file
// hangs for the resolver's own time-outs (30 s in the namespace that scripts/silent-dns.sh makes). It binds
// UDP port 53 on the address that the namespace's resolv.conf names, and only there: elsewhere start() gives
// nullptr and the caller skips what needs it.
class SilentNameServer {
public:
    static std::unique_ptr<SilentNameServer> start();

    // A name that only the name server could answer.
    static std::string unansweredName() { return "site.corvane.invalid"; }

private:
    explicit SilentNameServer(SocketFd socket) : socket_(std::move(socket)) {}

    SocketFd socket_; // bound and never read: the questions queue up unanswered
};

// True, after a line that says so, when there is no silent name server here and a row that needs one is
// skipped.
bool skippedWithout(const std::unique_ptr<SilentNameServer>& server, std::string_view row);

} // namespace zeph::test
