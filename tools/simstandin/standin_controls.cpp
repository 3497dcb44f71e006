// The controls and queries of the stand-in; each takes the one mutex, so they may come from any thread.
#include <cmath>
#include <numbers>
#include <stdexcept>

#include "simstandin/standin.h"
#include "simstandin/standin_connection.h"

namespace zeph::standin {

namespace {

double radiansOf(double degrees) { return degrees * std::numbers::pi / 180.0; }

void applyPosition(SimObject& user, const UserUpdate& u) {
    if (u.lat)
        user.lat = *u.lat;
    if (u.lon)
        user.lon = *u.lon;
    if (u.alt)
        user.alt = *u.alt;
    if (u.pitchDeg)
        user.pitch = radiansOf(*u.pitchDeg);
    if (u.bankDeg)
        user.bank = radiansOf(*u.bankDeg);
    if (u.headingDeg)
        user.heading = radiansOf(*u.headingDeg);
    if (u.groundSpeed)
        user.groundSpeed = *u.groundSpeed;
    if (u.onGround)
        user.onGround = *u.onGround;
}

template <typename T> std::vector<T> copyOf(const BoundedLog<T>& log) {
    return {log.entries.begin(), log.entries.end()};
}

} // namespace

void SimStandin::setSimRunning(bool running) {
    const std::lock_guard lock(mutex_);
    world_.simRunning = running;
    for (auto& [id, connection] : connections_) {
        connection->session.sendSystemEvent(SystemEvent::Sim, running ? 1 : 0);
    }
    collectOutput();
    wake();
}

void SimStandin::sendQuit(std::optional<std::uint32_t> connection) {
    const std::lock_guard lock(mutex_);
    forTargets(connection, [](Connection& c) {
        c.session.queue(encodeQuit(c.session.replyVersion()));
        c.closeAfterFlush = true;
    });
    collectOutput();
    wake();
}

void SimStandin::dropConnection(std::optional<std::uint32_t> connection) {
    const std::lock_guard lock(mutex_);
    forTargets(connection, [](Connection& c) { c.closeAfterFlush = true; });
    wake();
}

void SimStandin::sendPositionChanged() {
    const std::lock_guard lock(mutex_);
    for (auto& [id, connection] : connections_) {
        connection->session.sendSystemEvent(SystemEvent::PositionChanged, 0);
    }
    collectOutput();
    wake();
}

void SimStandin::sendFlightLoaded(const std::string& path, bool asEvent) {
    const std::lock_guard lock(mutex_);
    for (auto& [id, connection] : connections_) {
        connection->session.sendFlightLoaded(path, asEvent);
    }
    collectOutput();
    wake();
}

void SimStandin::stepFrames(std::uint32_t count) {
    std::unique_lock lock(mutex_);
    for (std::uint32_t k = 0; k < count; ++k) {
        frameLocked();
    }
    waitFlushed(lock);
}

void SimStandin::advanceClock(std::int64_t ms) {
    std::unique_lock lock(mutex_);
    if (world_.clock.manual) {
        const std::int64_t before = world_.clock.manualMs;
        world_.clock.manualMs += ms;
        const std::int64_t crossed = world_.clock.manualMs / 1000 - before / 1000;
        if (ms > 0 && crossed > 0) {
            secondsLocked(crossed);
        }
        lastSecond_ = world_.clock.manualMs / 1000;
    } else {
        world_.clock.offsetMs += ms; // the I/O loop sends the seconds it sees crossed
    }
    waitFlushed(lock);
}

void SimStandin::setFrameRate(double hz) {
    if (!(hz > 0.0) || !std::isfinite(hz)) {
        throw std::invalid_argument("frame rate must be above 0");
    }
    const std::lock_guard lock(mutex_);
    world_.frameRate = static_cast<float>(hz);
    nextFrame_ = Clock::now();
    wake();
}

void SimStandin::setUser(const UserUpdate& update) {
    const std::lock_guard lock(mutex_);
    SimObject& user = world_.user();
    applyPosition(user, update);
    if (update.lightMask)
        user.lightMask = *update.lightMask;
    if (update.title)
        user.title = *update.title;
    if (update.atcModel)
        user.atcModel = *update.atcModel;
    if (update.atcId)
        user.atcId = *update.atcId;
}

void SimStandin::moveUser(const UserUpdate& update) {
    const std::lock_guard lock(mutex_);
    applyPosition(world_.user(), update);
}

void SimStandin::setGround(double feet) {
    const std::lock_guard lock(mutex_);
    world_.ground = feet;
}

void SimStandin::setClock(std::int64_t utcMs) {
    const std::lock_guard lock(mutex_);
    world_.clock.set(utcMs);
    lastSecond_ = world_.clock.nowMs() / 1000;
}

std::uint32_t SimStandin::addTraffic(const TrafficSpec& traffic) {
    const std::lock_guard lock(mutex_);
    SimObject object;
    object.atcId = traffic.atcId;
    object.title = traffic.title;
    object.lat = traffic.lat;
    object.lon = traffic.lon;
    object.alt = traffic.alt ? *traffic.alt : world_.ground + traffic.agl;
    object.agl = traffic.agl;
    object.heading = radiansOf(traffic.headingDeg);
    object.groundSpeed = traffic.groundSpeed;
    object.onGround = traffic.onGround;
    const std::uint32_t id = world_.addTraffic(object).id;
    announceLocked(true, id);
    collectOutput();
    wake();
    return id;
}

bool SimStandin::removeTraffic(std::uint32_t objectId) {
    const std::lock_guard lock(mutex_);
    const SimObject* object = world_.find(objectId);
    if (object == nullptr || object->kind != ObjectKind::Traffic) {
        return false;
    }
    world_.remove(objectId, 0, "traffic");
    announceLocked(false, objectId);
    collectOutput();
    wake();
    return true;
}

void SimStandin::refuseTitles(std::vector<std::string> titles) {
    const std::lock_guard lock(mutex_);
    world_.refusedTitles = std::move(titles);
}

void SimStandin::installedTitles(std::optional<std::vector<std::string>> titles) {
    const std::lock_guard lock(mutex_);
    world_.installedTitles = std::move(titles);
}

void SimStandin::setStaticCg(const std::string& title, double feet, double radians) {
    const std::lock_guard lock(mutex_);
    world_.staticCg[title] = {feet, radians};
}

void SimStandin::creationDelayFrames(std::uint32_t frames) {
    const std::lock_guard lock(mutex_);
    knobs_.delayFrames = frames;
}

void SimStandin::neverReportCreations(bool on) {
    const std::lock_guard lock(mutex_);
    knobs_.neverReport = on;
}

void SimStandin::objectAddedAfterNextByType(bool on) {
    const std::lock_guard lock(mutex_);
    knobs_.objectAddedAfterNextByType = on;
}

void SimStandin::injectException(std::uint32_t code, std::uint32_t sendId, std::uint32_t index,
                                 std::optional<std::uint32_t> connection) {
    const std::lock_guard lock(mutex_);
    forTargets(connection, [&](Connection& c) {
        c.session.queue(encodeExceptionCode(c.session.replyVersion(), code, sendId, index));
    });
    collectOutput();
    wake();
}

void SimStandin::injectMessage(const std::string& bytes, std::optional<std::uint32_t> connection) {
    const std::lock_guard lock(mutex_);
    collectOutput(); // what the sessions queued before goes out first
    forTargets(connection, [&](Connection& c) { queueRaw(c, bytes); });
    wake();
}

void SimStandin::splitWrites(std::size_t bytes, int pauseMs) {
    const std::lock_guard lock(mutex_);
    faults_.splitBytes = bytes;
    faults_.splitPauseMs = std::max(0, pauseMs);
}

void SimStandin::messagesPerWrite(std::size_t count) {
    const std::lock_guard lock(mutex_);
    faults_.messagesPerWrite = std::max<std::size_t>(1, count);
}

void SimStandin::zeroPadding(std::size_t bytes) {
    const std::lock_guard lock(mutex_);
    faults_.zeroPadding = bytes;
}

void SimStandin::sendDeclaredSize(std::uint32_t size, std::optional<std::uint32_t> connection) {
    const std::lock_guard lock(mutex_);
    collectOutput();
    forTargets(connection, [&](Connection& c) {
        // The size field, then as much of a header as the size leaves room for (all of it past 12).
        std::string bytes;
        appendU32(bytes, size);
        appendU32(bytes, c.session.replyVersion());
        appendU32(bytes, 0);
        const std::size_t length = size < 4 ? 4 : std::min<std::size_t>(size, kMessageHeaderSize);
        bytes.resize(length);
        queueRaw(c, bytes);
    });
    wake();
}

PacketLog SimStandin::packets() const {
    const std::lock_guard lock(mutex_);
    return {copyOf(world_.packets), world_.packets.dropped};
}

std::vector<SimObject> SimStandin::objects() const {
    const std::lock_guard lock(mutex_);
    std::vector<SimObject> result;
    for (const auto& [id, object] : world_.objects()) {
        result.push_back(object);
        result.back().onGround = reportsOnGround(object, world_.ground);
    }
    return result;
}

PositionLog SimStandin::positions(std::uint32_t objectId) const {
    const std::lock_guard lock(mutex_);
    const BoundedLog<PositionSample>* log = world_.positions(objectId);
    if (log == nullptr) {
        return {};
    }
    return {copyOf(*log), log->dropped};
}

std::vector<ClientEventRecord> SimStandin::clientEvents(std::optional<std::uint32_t> objectId) const {
    const std::lock_guard lock(mutex_);
    std::vector<ClientEventRecord> result;
    for (const ClientEventRecord& record : world_.clientEvents.entries) {
        if (!objectId || record.objectId == *objectId) {
            result.push_back(record);
        }
    }
    return result;
}

std::vector<CreationRecord> SimStandin::created() const {
    const std::lock_guard lock(mutex_);
    return copyOf(world_.created);
}

std::vector<RemovalRecord> SimStandin::removed() const {
    const std::lock_guard lock(mutex_);
    return copyOf(world_.removed);
}

std::vector<FlightPlanRecord> SimStandin::flightPlans() const {
    const std::lock_guard lock(mutex_);
    return copyOf(world_.flightPlans);
}

std::vector<Violation> SimStandin::violations() const {
    const std::lock_guard lock(mutex_);
    return copyOf(world_.violations);
}

std::vector<ConnectionInfo> SimStandin::connections() const {
    const std::lock_guard lock(mutex_);
    std::vector<ConnectionInfo> result = closedInfo_;
    for (const auto& [id, c] : connections_) {
        result.push_back(c->info(true));
    }
    std::sort(result.begin(), result.end(), [](const auto& a, const auto& b) { return a.id < b.id; });
    return result;
}

std::uint64_t SimStandin::frame() const {
    const std::lock_guard lock(mutex_);
    return world_.frame;
}

std::int64_t SimStandin::clockMs() const {
    const std::lock_guard lock(mutex_);
    return world_.clock.nowMs();
}

bool SimStandin::simRunning() const {
    const std::lock_guard lock(mutex_);
    return world_.simRunning;
}

bool SimStandin::waitFor(const std::function<bool()>& pred, std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    std::unique_lock lock(mutex_);
    for (;;) {
        const std::uint64_t seen = generation_;
        lock.unlock();
        const bool done = pred();
        lock.lock();
        if (done) {
            return true;
        }
        if (!packetCv_.wait_until(lock, deadline, [&] { return generation_ != seen || stopping_; })) {
            lock.unlock();
            return pred();
        }
        if (stopping_) {
            lock.unlock();
            return pred();
        }
    }
}

bool SimStandin::waitPackets(std::uint32_t id, std::uint64_t count, std::chrono::milliseconds timeout) {
    const std::uint32_t full = id < kPacketPrefix ? (kPacketPrefix | id) : id;
    std::unique_lock lock(mutex_);
    return packetCv_.wait_for(lock, timeout, [&] {
        const auto it = world_.packetCounts.find(full);
        return it != world_.packetCounts.end() && it->second >= count;
    });
}

} // namespace zeph::standin
