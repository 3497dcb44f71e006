#include "simstandin/standin.h"
#include "simstandin/recorder.h"
#include "simstandin/standin_connection.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <stdexcept>

#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <fmt/format.h>

namespace zeph::standin {

namespace {

constexpr std::size_t kReadChunk = 64 * 1024;
constexpr int kReadsPerWake = 4; // bounded, so one busy client cannot starve the others
constexpr auto kFlushWaitLimit = std::chrono::seconds(30);
constexpr std::int64_t kMaxSecondsPerTick = 5;

std::int64_t floorSeconds(std::int64_t ms) { return ms / 1000 - ((ms % 1000 != 0 && ms < 0) ? 1 : 0); }

} // namespace

class SimStandin::Hub : public SessionHub {
public:
    explicit Hub(SimStandin& owner) : owner_(owner) {}
    void announceObject(bool added, std::uint32_t objectId) override {
        owner_.announceLocked(added, objectId);
    }
    void deferCreation(std::uint32_t connection, std::uint32_t sendId, const CreateAircraftPacket& create,
                       std::uint32_t frames) override {
        owner_.pendingCreations_.push_back({connection, sendId, create, frames});
    }
    void holdObjectAdded(std::uint32_t objectId) override { owner_.heldObjectAdded_.push_back(objectId); }
    void byTypeReplied() override {
        const std::vector<std::uint32_t> held = std::move(owner_.heldObjectAdded_);
        owner_.heldObjectAdded_.clear();
        for (std::uint32_t objectId : held) {
            if (owner_.world_.find(objectId) != nullptr) {
                owner_.announceLocked(true, objectId);
            }
        }
    }

private:
    SimStandin& owner_;
};

SimStandin::SimStandin(StandinOptions options)
    : options_(std::move(options)), world_(WorldLimits{options_.userObjectId, options_.aiObjectBase,
                                                       options_.packetLogLimit, options_.positionHistory}),
      hub_(std::make_unique<Hub>(*this)) {
    sessionOptions_.legacy = options_.legacy;
    sessionOptions_.appName = options_.appName;
    sessionOptions_.appVersion = options_.appVersion;
    sessionOptions_.simRunningOnSubscribe = options_.simRunningOnSubscribe;
    sessionOptions_.answerViolations = options_.answerViolations;
    world_.clock.manual = options_.manualClock;
    world_.frameRate = static_cast<float>(options_.frameRate > 0.0 ? options_.frameRate : 30.0);
    world_.user().title = "Standin A320";
    world_.user().atcModel = "A320";
    world_.user().atcId = "D-ASTA";
}

SimStandin::~SimStandin() { stop(); }

void SimStandin::start() {
    if (io_.joinable()) {
        throw std::runtime_error("the stand-in is already started");
    }
    wakeFd_ = Fd(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK));
    if (!wakeFd_.valid()) {
        throw std::runtime_error("cannot make the wake-up descriptor");
    }
    if (options_.tcp4) {
        tcp4_ = openTcpListener(parseHostPort(*options_.tcp4), false);
        tcp4Port_ = tcp4_.port;
    }
    if (options_.tcp6) {
        tcp6_ = openTcpListener(parseHostPort(*options_.tcp6), true);
        tcp6Port_ = tcp6_.port;
    }
    if (options_.unixPath) {
        unix_ = openUnixListener(*options_.unixPath);
        unixPath_ = *options_.unixPath;
    }
    startRecording();
    {
        const std::lock_guard lock(mutex_);
        stopping_ = false;
        running_ = true;
        nextFrame_ = Clock::now() + std::chrono::duration_cast<Clock::duration>(
                                        std::chrono::duration<double>(1.0 / world_.frameRate));
        lastSecond_ = floorSeconds(world_.clock.nowMs());
    }
    io_ = std::thread([this] { run(); });
}

void SimStandin::stop() {
    {
        const std::lock_guard lock(mutex_);
        stopping_ = true;
        running_ = false;
    }
    if (io_.joinable()) {
        wake();
        io_.join();
    }
    std::unique_lock lock(mutex_);
    stopRecording(lock);
    connections_.clear();
    tcp4_.fd.reset();
    tcp6_.fd.reset();
    if (unix_.fd.valid() && unixPath_) { // only a socket file this stand-in made is removed
        ::unlink(unixPath_->c_str());
    }
    unix_.fd.reset();
    packetCv_.notify_all();
    flushCv_.notify_all();
}

void SimStandin::wake() {
    if (wakeFd_.valid()) {
        const std::uint64_t one = 1;
        [[maybe_unused]] const ssize_t n = ::write(wakeFd_.get(), &one, sizeof one);
    }
}

void SimStandin::touched() {
    ++generation_;
    packetCv_.notify_all();
}

void SimStandin::run() {
    {
        const std::lock_guard lock(mutex_);
        ioThreadId_ = std::this_thread::get_id();
    }
    for (;;) {
        {
            const std::lock_guard lock(mutex_);
            if (stopping_) {
                return;
            }
        }
        pollOnce();
    }
}

SimStandin::Clock::time_point SimStandin::nextDeadline(Clock::time_point now) const {
    Clock::time_point deadline = now + std::chrono::seconds(1);
    if (!options_.manualFrames) {
        deadline = std::min(deadline, nextFrame_);
    }
    if (!options_.manualClock) {
        const std::int64_t ms = world_.clock.nowMs();
        deadline = std::min(deadline, now + std::chrono::milliseconds(1000 - (ms - floorSeconds(ms) * 1000)));
    }
    for (const auto& [id, connection] : connections_) {
        if (!connection->pending.empty()) {
            deadline = std::min(deadline, std::max(now, connection->nextWriteAt));
        }
    }
    return deadline;
}

void SimStandin::pollOnce() {
    std::vector<pollfd> fds;
    std::vector<std::uint32_t> ids; // connection of each entry after the listeners
    const std::array<std::pair<int, const char*>, 3> listeners = {
        {{tcp4_.fd.get(), "tcp4"}, {tcp6_.fd.get(), "tcp6"}, {unix_.fd.get(), "unix"}}};
    int timeoutMs = 0;
    {
        const std::lock_guard lock(mutex_);
        const Clock::time_point now = Clock::now();
        fds.push_back({wakeFd_.get(), POLLIN, 0});
        for (const auto& [fd, name] : listeners) {
            fds.push_back({fd, static_cast<short>(fd >= 0 ? POLLIN : 0), 0});
        }
        for (const auto& [id, connection] : connections_) {
            short events = POLLIN;
            if (!connection->pending.empty() && now >= connection->nextWriteAt) {
                events = static_cast<short>(events | POLLOUT);
            }
            fds.push_back({connection->fd.get(), events, 0});
            ids.push_back(id);
        }
        const auto wait = std::chrono::duration_cast<std::chrono::milliseconds>(nextDeadline(now) - now);
        timeoutMs = static_cast<int>(std::clamp<std::int64_t>(wait.count() + 1, 0, 1000));
    }
    if (::poll(fds.data(), fds.size(), timeoutMs) < 0 && errno != EINTR) {
        return;
    }
    if ((fds[0].revents & POLLIN) != 0) {
        std::uint64_t count = 0;
        [[maybe_unused]] const ssize_t n = ::read(wakeFd_.get(), &count, sizeof count);
    }
    for (std::size_t k = 0; k < listeners.size(); ++k) {
        if ((fds[k + 1].revents & POLLIN) != 0) {
            acceptFrom(listeners[k].first, listeners[k].second);
        }
    }
    for (std::size_t k = 0; k < ids.size(); ++k) {
        if ((fds[k + 1 + listeners.size()].revents & (POLLIN | POLLHUP | POLLERR)) == 0) {
            continue;
        }
        Connection* connection = nullptr;
        {
            const std::lock_guard lock(mutex_);
            const auto it = connections_.find(ids[k]);
            connection = it == connections_.end() ? nullptr : it->second.get();
        }
        if (connection != nullptr) { // only this thread erases connections
            readFrom(*connection);
        }
    }
    std::unique_lock lock(mutex_);
    const Clock::time_point now = Clock::now();
    runTimers(now);
    std::vector<std::uint32_t> finished;
    for (auto& [id, connection] : connections_) {
        writeTo(*connection, now);
        if (connection->failed || (connection->closeAfterFlush && connection->pending.empty())) {
            finished.push_back(id);
        }
    }
    for (std::uint32_t id : finished) {
        closeConnection(id);
    }
    flushCv_.notify_all();
    writeRecord(lock);
}

void SimStandin::acceptFrom(int listenFd, const std::string& transport) {
    for (;;) {
        Fd client(::accept4(listenFd, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK));
        if (!client.valid()) {
            return;
        }
        if (transport != "unix") {
            const int one = 1;
            ::setsockopt(client.get(), IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
        }
        const std::lock_guard lock(mutex_);
        const std::uint32_t id = nextConnectionId_++;
        connections_.emplace(id, std::make_unique<Connection>(id, std::move(client), transport,
                                                              sessionOptions_, world_, knobs_, *hub_));
        noteLocked(connections_.at(id)->info(true));
        touched();
    }
}

void SimStandin::readFrom(Connection& connection) {
    std::string bytes;
    bool closed = false;
    for (int round = 0; round < kReadsPerWake; ++round) {
        const std::size_t old = bytes.size();
        bytes.resize(old + kReadChunk);
        const ssize_t n = ::recv(connection.fd.get(), bytes.data() + old, kReadChunk, 0);
        if (n > 0) {
            bytes.resize(old + static_cast<std::size_t>(n));
            if (static_cast<std::size_t>(n) < kReadChunk) {
                break;
            }
            continue;
        }
        bytes.resize(old);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        closed = n == 0 || (errno != EAGAIN && errno != EWOULDBLOCK);
        break;
    }
    const std::lock_guard lock(mutex_);
    if (!bytes.empty() && !connection.session.feed(bytes)) {
        closed = true;
    }
    collectOutput();
    touched();
    if (closed) {
        closeConnection(connection.id);
    }
}

void SimStandin::writeTo(Connection& connection, Clock::time_point now) {
    while (!connection.pending.empty() && now >= connection.nextWriteAt && !connection.failed) {
        std::string chunk;
        const bool split = faults_.splitBytes > 0;
        std::size_t offset = connection.headOffset;
        for (std::size_t k = 0; k < connection.pending.size(); ++k) {
            const std::string& message = connection.pending[k];
            const std::size_t room = split ? faults_.splitBytes - chunk.size() : message.size();
            chunk.append(message, offset, room);
            offset = 0;
            if ((split && chunk.size() >= faults_.splitBytes) ||
                (!split && k + 1 >= faults_.messagesPerWrite)) {
                break;
            }
        }
        const ssize_t n =
            ::send(connection.fd.get(), chunk.data(), chunk.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
        if (n < 0) {
            connection.failed = errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR;
            return;
        }
        auto left = static_cast<std::size_t>(n);
        connection.bytesWritten += left;
        ++connection.writes;
        while (left > 0) {
            const std::size_t rest = connection.pending.front().size() - connection.headOffset;
            if (left < rest) {
                connection.headOffset += left;
                break;
            }
            left -= rest;
            connection.pending.pop_front();
            connection.headOffset = 0;
        }
        if (split && faults_.splitPauseMs > 0) {
            connection.nextWriteAt = now + std::chrono::milliseconds(faults_.splitPauseMs);
            return;
        }
    }
}

void SimStandin::closeConnection(std::uint32_t id) {
    const auto it = connections_.find(id);
    if (it == connections_.end()) {
        return;
    }
    if (closedInfo_.size() >= options_.packetLogLimit && !closedInfo_.empty()) {
        closedInfo_.erase(closedInfo_.begin());
    }
    closedInfo_.push_back(it->second->info(false));
    noteLocked(closedInfo_.back());
    connections_.erase(it);
    std::erase_if(pendingCreations_, [id](const PendingCreation& p) { return p.connection == id; });
    if (options_.removeObjectsOnDisconnect) {
        for (std::uint32_t objectId : world_.aiOwnedBy(id)) {
            world_.remove(objectId, 0, "disconnect");
            announceLocked(false, objectId);
        }
    }
    collectOutput();
    touched();
    flushCv_.notify_all();
}

void SimStandin::runTimers(Clock::time_point now) {
    if (!options_.manualFrames && now >= nextFrame_) {
        frameLocked();
        const auto interval = std::chrono::duration_cast<Clock::duration>(
            std::chrono::duration<double>(1.0 / world_.frameRate));
        nextFrame_ += interval;
        if (nextFrame_ < now) { // late: go on from now rather than send a burst of frames
            nextFrame_ = now + interval;
        }
    }
    if (!options_.manualClock) {
        const std::int64_t second = floorSeconds(world_.clock.nowMs());
        if (second > lastSecond_) {
            secondsLocked(std::min(second - lastSecond_, kMaxSecondsPerTick));
        }
        lastSecond_ = second;
    }
    recordLocked(now);
}

void SimStandin::collectOutput() {
    for (auto& [id, connection] : connections_) {
        std::deque<std::string>& outbox = connection->session.outbox();
        while (!outbox.empty()) {
            queueRaw(*connection, std::move(outbox.front()));
            outbox.pop_front();
        }
    }
}

void SimStandin::queueRaw(Connection& connection, std::string bytes) {
    bytes.append(faults_.zeroPadding, '\0');
    connection.bytesQueued += bytes.size();
    connection.pending.push_back(std::move(bytes));
}

void SimStandin::frameLocked() {
    ++world_.frame;
    for (auto& [id, connection] : connections_) {
        connection->session.onFrame();
    }
    for (auto it = pendingCreations_.begin(); it != pendingCreations_.end();) {
        if (it->framesLeft > 1) {
            --it->framesLeft;
            ++it;
            continue;
        }
        const auto owner = connections_.find(it->connection);
        if (owner != connections_.end()) {
            owner->second->session.completeCreation(it->sendId, it->create);
        }
        it = pendingCreations_.erase(it);
    }
    notePositionsLocked();
    collectOutput();
}

void SimStandin::secondsLocked(std::int64_t count) {
    for (std::int64_t k = 0; k < count; ++k) {
        for (auto& [id, connection] : connections_) {
            connection->session.onSecond();
        }
    }
    collectOutput();
}

void SimStandin::announceLocked(bool added, std::uint32_t objectId) {
    for (auto& [id, connection] : connections_) {
        connection->session.sendObjectEvent(added, objectId);
    }
}

void SimStandin::forTargets(std::optional<std::uint32_t> connection,
                            const std::function<void(Connection&)>& action) {
    for (auto& [id, c] : connections_) {
        if (!connection || *connection == id) {
            action(*c);
        }
    }
}

void SimStandin::waitFlushed(std::unique_lock<std::mutex>& lock) {
    if (std::this_thread::get_id() == ioThreadId_ || !running_) {
        return;
    }
    std::vector<std::pair<std::uint32_t, std::uint64_t>> targets;
    for (const auto& [id, connection] : connections_) {
        targets.emplace_back(id, connection->bytesQueued);
    }
    wake();
    flushCv_.wait_for(lock, kFlushWaitLimit, [&] {
        if (stopping_) {
            return true;
        }
        return std::all_of(targets.begin(), targets.end(), [&](const auto& target) {
            const auto it = connections_.find(target.first);
            return it == connections_.end() || it->second->bytesWritten >= target.second;
        });
    });
}

} // namespace zeph::standin
