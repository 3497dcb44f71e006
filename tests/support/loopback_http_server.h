#pragma once
#include <condition_variable>
#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace zeph::test {

// A web site on 127.0.0.1 for download tests, on raw POSIX sockets rather than the program's own socket
// layer, so that a shared mistake cannot pass. One accept thread serves one request per connection
// (HTTP/1.1, Connection: close). A path without a leading "/" is taken below "/downloads/"; a path without
// a route answers 404.
class LoopbackHttpServer {
public:
    struct Request {
        std::string path;
        std::string userAgent;
    };

    LoopbackHttpServer();
    ~LoopbackHttpServer();
    LoopbackHttpServer(const LoopbackHttpServer&) = delete;
    LoopbackHttpServer& operator=(const LoopbackHttpServer&) = delete;

    std::uint16_t port() const { return port_; }
    // "http://127.0.0.1:<port>/downloads/"
    std::string baseUrl() const;
    std::string urlOf(const std::string& path) const;

    void ok(const std::string& path, std::string bytes, std::string type = "application/octet-stream");
    void status(const std::string& path, int code);
    // Declares declared bytes and sends sent of them, then closes.
    void truncated(const std::string& path, std::size_t declared, std::size_t sent);
    // One chunk of a chunked body, then the connection closes without the last chunk.
    void chunkedNoEnd(const std::string& path, std::string bytes);
    void redirect(const std::string& path, int code, std::string location);
    // Silent for ms (at most 60000) before (or, with afterHeaders, after) the headers; then closes. Held open
    // after the headers, it is a site that never sends its body.
    void stall(const std::string& path, bool afterHeaders, int ms);
    // A body of bytesPerTick bytes every tickMs for at most forMs, then closes; declares declared bytes, or
    // no length when declared is 0. With tickMs 0 it is an endless body as fast as the client takes it.
    void crawl(const std::string& path, std::size_t bytesPerTick, int tickMs, int forMs,
               std::size_t declared);
    void closeWithoutResponse(const std::string& path);

    std::vector<Request> requests() const;
    std::vector<std::string> paths() const;

private:
    enum class Kind { Ok, Status, Truncated, ChunkedNoEnd, Redirect, Stall, Crawl, Close };
    struct Route {
        Route(Kind k = Kind::Status, int c = 404) : kind(k), code(c) {}
        Kind kind;
        int code;
        std::string bytes;
        std::string type;
        std::size_t declared = 0;
        std::size_t sent = 0;
        bool afterHeaders = false;
        int ms = 0;
        int tickMs = 0;
    };

    void setRoute(const std::string& path, Route route);
    void serve();
    void answer(int fd);
    void respond(int fd, const Route& route);
    // Waits ms unless the server stops or the client closes first; false then.
    bool pause(int fd, int ms);
    void sendCrawl(int fd, const Route& route);

    int listenFd_ = -1;
    std::uint16_t port_ = 0;
    mutable std::mutex mutex_;
    std::condition_variable stopped_;
    bool stopping_ = false;
    std::map<std::string, Route> routes_;
    std::vector<Request> requests_;
    std::thread thread_;
};

} // namespace zeph::test
