#include "support/loopback_http_server.h"

#include <algorithm>
#include <chrono>
#include <stdexcept>

#include <arpa/inet.h>
#include <fmt/format.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace zeph::test {

namespace {

bool sendAll(int fd, const std::string& bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t sent = ::send(fd, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
        if (sent <= 0) {
            return false;
        }
        done += static_cast<std::size_t>(sent);
    }
    return true;
}

std::string head(int code, const std::string& reason, const std::string& fields) {
    return fmt::format("HTTP/1.1 {} {}\r\n{}Connection: close\r\n\r\n", code, reason, fields);
}

std::string lengthField(std::size_t length) { return fmt::format("Content-Length: {}\r\n", length); }

// The value of a header field, matched without regard to case; empty when absent.
std::string headerValue(const std::string& request, const std::string& name) {
    std::string lower = request;
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return std::tolower(c); });
    const std::size_t at = lower.find("\r\n" + name + ":");
    if (at == std::string::npos) {
        return {};
    }
    std::size_t begin = at + name.size() + 3;
    while (begin < request.size() && request[begin] == ' ') {
        ++begin;
    }
    return request.substr(begin, request.find("\r\n", begin) - begin);
}

} // namespace

LoopbackHttpServer::LoopbackHttpServer() {
    listenFd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof(address);
    if (listenFd_ < 0 || ::bind(listenFd_, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0 ||
        ::listen(listenFd_, 16) != 0 ||
        ::getsockname(listenFd_, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        throw std::runtime_error("LoopbackHttpServer: no listening socket");
    }
    port_ = ntohs(address.sin_port);
    thread_ = std::thread([this] { serve(); });
}

LoopbackHttpServer::~LoopbackHttpServer() {
    {
        const std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    stopped_.notify_all();
    ::shutdown(listenFd_, SHUT_RDWR);
    thread_.join();
    ::close(listenFd_);
}

std::string LoopbackHttpServer::baseUrl() const {
    return fmt::format("http://127.0.0.1:{}/downloads/", port_);
}

std::string LoopbackHttpServer::urlOf(const std::string& path) const {
    return path.starts_with("/") ? fmt::format("http://127.0.0.1:{}{}", port_, path) : baseUrl() + path;
}

void LoopbackHttpServer::setRoute(const std::string& path, Route route) {
    const std::lock_guard lock(mutex_);
    routes_[path.starts_with("/") ? path : "/downloads/" + path] = std::move(route);
}

void LoopbackHttpServer::ok(const std::string& path, std::string bytes, std::string type) {
    Route route{Kind::Ok, 200};
    route.bytes = std::move(bytes);
    route.type = std::move(type);
    setRoute(path, std::move(route));
}

void LoopbackHttpServer::status(const std::string& path, int code) {
    setRoute(path, Route{Kind::Status, code});
}

void LoopbackHttpServer::truncated(const std::string& path, std::size_t declared, std::size_t sent) {
    Route route{Kind::Truncated, 200};
    route.declared = declared;
    route.sent = sent;
    setRoute(path, std::move(route));
}

void LoopbackHttpServer::chunkedNoEnd(const std::string& path, std::string bytes) {
    Route route{Kind::ChunkedNoEnd, 200};
    route.bytes = std::move(bytes);
    setRoute(path, std::move(route));
}

void LoopbackHttpServer::redirect(const std::string& path, int code, std::string location) {
    Route route{Kind::Redirect, code};
    route.bytes = std::move(location);
    setRoute(path, std::move(route));
}

void LoopbackHttpServer::stall(const std::string& path, bool afterHeaders, int ms) {
    Route route{Kind::Stall, 200};
    route.afterHeaders = afterHeaders;
    route.ms = std::min(ms, 60000);
    setRoute(path, std::move(route));
}

void LoopbackHttpServer::crawl(const std::string& path, std::size_t bytesPerTick, int tickMs, int forMs,
                               std::size_t declared) {
    Route route{Kind::Crawl, 200};
    route.bytes = std::string(bytesPerTick, 'c');
    route.tickMs = tickMs;
    route.ms = std::min(forMs, 60000);
    route.declared = declared;
    setRoute(path, std::move(route));
}

void LoopbackHttpServer::closeWithoutResponse(const std::string& path) {
    setRoute(path, Route{Kind::Close, 0});
}

std::vector<LoopbackHttpServer::Request> LoopbackHttpServer::requests() const {
    const std::lock_guard lock(mutex_);
    return requests_;
}

std::vector<std::string> LoopbackHttpServer::paths() const {
    std::vector<std::string> list;
    for (const Request& request : requests()) {
        list.push_back(request.path);
    }
    return list;
}

void LoopbackHttpServer::serve() {
    while (true) {
        const int fd = ::accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0) {
            const std::lock_guard lock(mutex_);
            if (stopping_) {
                return;
            }
            continue;
        }
        answer(fd);
        ::close(fd);
    }
}

void LoopbackHttpServer::answer(int fd) {
    timeval timeout{2, 0};
    ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof(timeout));
    std::string request;
    char buffer[4096];
    while (request.find("\r\n\r\n") == std::string::npos && request.size() < 65536) {
        const ssize_t got = ::recv(fd, buffer, sizeof(buffer), 0);
        if (got <= 0) {
            return;
        }
        request.append(buffer, static_cast<std::size_t>(got));
    }
    const std::size_t pathBegin = request.find(' ') + 1;
    const std::string path = request.substr(pathBegin, request.find(' ', pathBegin) - pathBegin);
    Route route;
    {
        const std::lock_guard lock(mutex_);
        requests_.push_back(Request{path, headerValue(request, "user-agent")});
        if (const auto found = routes_.find(path); found != routes_.end()) {
            route = found->second;
        }
    }
    respond(fd, route);
}

void LoopbackHttpServer::respond(int fd, const Route& route) {
    switch (route.kind) {
    case Kind::Ok:
        sendAll(fd,
                head(200, "OK", "Content-Type: " + route.type + "\r\n" + lengthField(route.bytes.size())) +
                    route.bytes);
        break;
    case Kind::Status: {
        const std::string page = fmt::format("<html><body>{}</body></html>", route.code);
        sendAll(fd,
                head(route.code, "Status", "Content-Type: text/html\r\n" + lengthField(page.size())) + page);
        break;
    }
    case Kind::Truncated:
        sendAll(fd, head(200, "OK", lengthField(route.declared)) + std::string(route.sent, 'x'));
        break;
    case Kind::ChunkedNoEnd:
        sendAll(fd, head(200, "OK", "Transfer-Encoding: chunked\r\n") +
                        fmt::format("{:x}\r\n{}\r\n", route.bytes.size(), route.bytes));
        break;
    case Kind::Redirect: {
        const std::string page = "<html>moved</html>";
        sendAll(fd,
                head(route.code, "Moved", "Location: " + route.bytes + "\r\n" + lengthField(page.size())) +
                    page);
        break;
    }
    case Kind::Stall:
        if (route.afterHeaders) {
            sendAll(fd, head(200, "OK", lengthField(100)));
        }
        pause(fd, route.ms);
        break;
    case Kind::Crawl:
        sendCrawl(fd, route);
        break;
    case Kind::Close:
        break;
    }
}

void LoopbackHttpServer::sendCrawl(int fd, const Route& route) {
    if (!sendAll(fd, head(200, "OK", route.declared > 0 ? lengthField(route.declared) : ""))) {
        return;
    }
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(route.ms);
    while (std::chrono::steady_clock::now() < deadline && sendAll(fd, route.bytes) &&
           pause(fd, route.tickMs)) {
    }
}

bool LoopbackHttpServer::pause(int fd, int ms) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    do {
        {
            std::unique_lock lock(mutex_);
            if (stopped_.wait_for(lock, std::chrono::milliseconds(std::min(ms, 20)),
                                  [this] { return stopping_; })) {
                return false;
            }
        }
        // A client that gave up has closed its end: the next request need not wait for this one.
        pollfd peer{fd, POLLIN, 0};
        char byte = 0;
        if (::poll(&peer, 1, 0) > 0 && ::recv(fd, &byte, 1, MSG_DONTWAIT) <= 0) {
            return false;
        }
    } while (std::chrono::steady_clock::now() < deadline);
    return true;
}

} // namespace zeph::test
