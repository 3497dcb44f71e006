#include "simstandin/control.h"

#include <cerrno>

#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <fmt/format.h>

namespace zeph::standin {

using nlohmann::json;

std::string bytesToJsonText(const std::string& bytes) {
    std::string out;
    out.reserve(bytes.size());
    for (unsigned char c : bytes) {
        if (c < 0x80) {
            out.push_back(static_cast<char>(c));
        } else {
            out.push_back(static_cast<char>(0xC0 | (c >> 6U)));
            out.push_back(static_cast<char>(0x80 | (c & 0x3FU)));
        }
    }
    return out;
}

std::string jsonTextToBytes(const std::string& text, const std::string& field) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t k = 0; k < text.size(); ++k) {
        const auto c = static_cast<unsigned char>(text[k]);
        if (c < 0x80) {
            out.push_back(static_cast<char>(c));
            continue;
        }
        // Two-byte sequences C2..C3 xx are exactly the characters U+0080 to U+00FF.
        if ((c == 0xC2 || c == 0xC3) && k + 1 < text.size() &&
            (static_cast<unsigned char>(text[k + 1]) & 0xC0U) == 0x80) {
            out.push_back(
                static_cast<char>(((c & 0x03U) << 6U) | (static_cast<unsigned char>(text[k + 1]) & 0x3FU)));
            ++k;
            continue;
        }
        throw ControlError(fmt::format("{}: only characters U+0000 to U+00FF stand for bytes", field));
    }
    return out;
}

std::string handleControlLine(SimStandin& standin, const std::string& line, bool& shutdown) {
    json reply;
    const json command = json::parse(line, nullptr, false);
    if (command.is_discarded()) {
        reply = {{"ok", false}, {"error", "malformed JSON"}};
        return reply.dump();
    }
    try {
        reply = runCommand(standin, command, shutdown);
        reply["ok"] = true;
    } catch (const std::exception& e) {
        reply = {{"ok", false}, {"error", e.what()}};
    }
    return reply.dump(-1, ' ', false, json::error_handler_t::replace);
}

ControlServer::ControlServer(SimStandin& standin, std::string path, std::function<void()> onShutdown)
    : standin_(standin), path_(std::move(path)), onShutdown_(std::move(onShutdown)) {}

ControlServer::~ControlServer() { stop(); }

void ControlServer::start() {
    stopFd_ = Fd(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK));
    if (!stopFd_.valid()) {
        throw std::runtime_error("cannot make the control channel's stop descriptor");
    }
    listener_ = openUnixListener(path_);
    started_ = true;
    acceptThread_ = std::thread([this] { acceptLoop(); });
}

void ControlServer::stop() {
    if (!started_) {
        return;
    }
    started_ = false;
    const std::uint64_t one = 1;
    [[maybe_unused]] const ssize_t n =
        ::write(stopFd_.get(), &one, sizeof one); // never read: stays readable for all
    if (acceptThread_.joinable()) {
        acceptThread_.join();
    }
    std::vector<Client> clients;
    {
        const std::lock_guard lock(clientsMutex_);
        clients.swap(clients_);
    }
    for (Client& client : clients) {
        client.thread.join();
    }
    listener_.fd.reset();
    ::unlink(path_.c_str());
}

void ControlServer::reapFinished() {
    const std::lock_guard lock(clientsMutex_);
    for (auto it = clients_.begin(); it != clients_.end();) {
        if (it->done->load()) {
            it->thread.join();
            it = clients_.erase(it);
        } else {
            ++it;
        }
    }
}

void ControlServer::acceptLoop() {
    for (;;) {
        std::array<pollfd, 2> fds{{{stopFd_.get(), POLLIN, 0}, {listener_.fd.get(), POLLIN, 0}}};
        if (::poll(fds.data(), fds.size(), -1) < 0 && errno != EINTR) {
            return;
        }
        if ((fds[0].revents & POLLIN) != 0) {
            return;
        }
        if ((fds[1].revents & POLLIN) == 0) {
            continue;
        }
        Fd client(::accept4(listener_.fd.get(), nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK));
        if (!client.valid()) {
            continue;
        }
        reapFinished();
        const std::lock_guard lock(clientsMutex_);
        if (clients_.size() >= kMaxControlClients) {
            writeAll(client.get(), R"({"ok":false,"error":"too many control clients"})"
                                   "\n");
            continue;
        }
        auto done = std::make_shared<std::atomic<bool>>(false);
        const int fd = client.release();
        clients_.push_back({std::thread([this, fd, done] {
                                serve(fd);
                                done->store(true);
                            }),
                            done});
    }
}

void ControlServer::serve(int rawFd) {
    const Fd fd(rawFd);
    std::string buffer;
    char chunk[4096];
    for (;;) {
        std::array<pollfd, 2> fds{{{stopFd_.get(), POLLIN, 0}, {fd.get(), POLLIN, 0}}};
        if (::poll(fds.data(), fds.size(), -1) < 0 && errno != EINTR) {
            return;
        }
        if ((fds[0].revents & POLLIN) != 0) {
            return;
        }
        if ((fds[1].revents & (POLLIN | POLLHUP | POLLERR)) == 0) {
            continue;
        }
        const ssize_t n = ::recv(fd.get(), chunk, sizeof chunk, 0);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return; // the control client went away; nothing else stops
        }
        buffer.append(chunk, static_cast<std::size_t>(n));
        std::size_t end = 0;
        while ((end = buffer.find('\n')) != std::string::npos) {
            if (end > kMaxControlLine) {
                break; // refused below, whether or not its end has come
            }
            std::string line = buffer.substr(0, end);
            buffer.erase(0, end + 1);
            if (!line.empty() && line.back() == '\r') {
                line.pop_back();
            }
            if (line.find_first_not_of(" \t") == std::string::npos) {
                continue;
            }
            bool shutdown = false;
            if (!writeAll(fd.get(), handleControlLine(standin_, line, shutdown) + "\n")) {
                return;
            }
            if (shutdown) {
                if (onShutdown_) {
                    onShutdown_();
                }
                return;
            }
        }
        const std::size_t newline = buffer.find('\n');
        if ((newline == std::string::npos ? buffer.size() : newline) > kMaxControlLine) {
            writeAll(fd.get(), R"({"ok":false,"error":"line longer than 1 MiB"})"
                               "\n");
            return;
        }
    }
}

} // namespace zeph::standin
