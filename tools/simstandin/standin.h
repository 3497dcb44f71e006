#pragma once
// SimStandin: a SimConnect server that answers a client the way the simulator would, over TCP and an
// AF_UNIX socket, with controls to drive its world and queries to read back what the clients sent.
//
// One I/O thread polls the listeners, the connections and a wake-up descriptor; in automatic mode it also
// runs the frame and clock timers. The world and the sessions sit under one mutex: controls and queries
// may come from any thread.
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "simstandin/net.h"
#include "simstandin/session.h"
#include "simstandin/world.h"

namespace zeph::standin {

struct StandinOptions {
    bool legacy = false;
    std::string appName = "Lockheed Martin\xAE Prepar3D\xAE v5";
    AppVersion appVersion{5, 3, 12, 28584};
    std::uint32_t userObjectId = 1;
    std::uint32_t aiObjectBase = 100;
    double frameRate = 30.0;
    bool manualFrames = true;
    bool manualClock = true;
    bool simRunningOnSubscribe = true;
    bool answerViolations = true;
    bool removeObjectsOnDisconnect = true;
    std::size_t packetLogLimit = 100000;
    std::size_t positionHistory = 256;
    std::optional<std::string> tcp4;       // "127.0.0.1:0"
    std::optional<std::string> tcp6;       // "[::1]:0"
    std::optional<std::string> unixPath;   // the local-pipe stand-in
    std::optional<std::string> recordFile; // JSON lines of what happened; see record.h
    std::uint32_t recordEvery = 3;         // a position line per AI object every this many frames
    std::chrono::milliseconds recordStatsEvery{10000};
};

// Fields of the user aircraft to change; angles in degrees.
struct UserUpdate {
    std::optional<double> lat;
    std::optional<double> lon;
    std::optional<double> alt;
    std::optional<double> pitchDeg;
    std::optional<double> bankDeg;
    std::optional<double> headingDeg;
    std::optional<double> groundSpeed;
    std::optional<bool> onGround;
    std::optional<std::uint32_t> lightMask;
    std::optional<std::string> title;
    std::optional<std::string> atcModel;
    std::optional<std::string> atcId;
};

// An aircraft of other traffic; without an altitude it sits `agl` feet above the ground.
struct TrafficSpec {
    std::string atcId;
    std::string title;
    double lat = 0.0;
    double lon = 0.0;
    std::optional<double> alt;
    double agl = 0.0;
    double headingDeg = 0.0;
    double groundSpeed = 0.0;
    bool onGround = true;
};

class Recorder;

struct ConnectionInfo {
    std::uint32_t id = 0;
    std::string transport; // "tcp4", "tcp6", "unix"
    bool open = false;     // the socket is still open
    bool opened = false;   // the handshake was answered
    std::uint32_t version = 0;
    std::uint64_t packets = 0;
    std::uint64_t bytesWritten = 0;
    std::uint64_t writes = 0;
};

struct PacketLog {
    std::vector<PacketRecord> packets;
    std::uint64_t dropped = 0;
};

struct PositionLog {
    std::vector<PositionSample> samples;
    std::uint64_t dropped = 0;
};

// How the bytes of messages are handed to a socket.
struct FaultModes {
    std::size_t splitBytes = 0; // more than 0: writes of at most this many bytes
    int splitPauseMs = 0;       // pause between the pieces
    std::size_t messagesPerWrite = 1;
    std::size_t zeroPadding = 0; // zero bytes after every message
};

class SimStandin {
public:
    explicit SimStandin(StandinOptions options = {});
    ~SimStandin();
    SimStandin(const SimStandin&) = delete;
    SimStandin& operator=(const SimStandin&) = delete;

    // Opens the listeners and starts the I/O thread; throws std::runtime_error with a clear message.
    void start();
    void stop();
    std::optional<std::uint16_t> tcp4Port() const { return tcp4Port_; }
    std::optional<std::uint16_t> tcp6Port() const { return tcp6Port_; }
    std::optional<std::string> unixPath() const { return unixPath_; }

    // Controls. A connection argument of nothing means every open connection.
    void setSimRunning(bool running);
    void sendQuit(std::optional<std::uint32_t> connection = std::nullopt);
    void dropConnection(std::optional<std::uint32_t> connection = std::nullopt);
    void sendPositionChanged();
    void sendFlightLoaded(const std::string& path, bool asEvent = false);
    void stepFrames(std::uint32_t count);
    void advanceClock(std::int64_t ms);
    void setFrameRate(double hz);
    void setUser(const UserUpdate& update);
    void moveUser(const UserUpdate& update); // position, attitude, speed and ground state only
    void setGround(double feet);
    void setClock(std::int64_t utcMs);
    std::uint32_t addTraffic(const TrafficSpec& traffic);
    bool removeTraffic(std::uint32_t objectId);
    void refuseTitles(std::vector<std::string> titles);
    void installedTitles(std::optional<std::vector<std::string>> titles);
    void setStaticCg(const std::string& title, double feet, double radians);
    void creationDelayFrames(std::uint32_t frames);
    void neverReportCreations(bool on);
    void objectAddedAfterNextByType(bool on);
    void injectException(std::uint32_t code, std::uint32_t sendId, std::uint32_t index,
                         std::optional<std::uint32_t> connection = std::nullopt);
    void injectMessage(const std::string& bytes, std::optional<std::uint32_t> connection = std::nullopt);
    void splitWrites(std::size_t bytes, int pauseMs);
    void messagesPerWrite(std::size_t count);
    void zeroPadding(std::size_t bytes);
    // A message whose size field says `size`: 41,089 and sizes below 12 are the faults a client must survive.
    void sendDeclaredSize(std::uint32_t size, std::optional<std::uint32_t> connection = std::nullopt);

    // Queries.
    PacketLog packets() const;
    std::vector<SimObject> objects() const;
    PositionLog positions(std::uint32_t objectId) const;
    std::vector<ClientEventRecord> clientEvents(std::optional<std::uint32_t> objectId = std::nullopt) const;
    std::vector<CreationRecord> created() const;
    std::vector<RemovalRecord> removed() const;
    std::vector<FlightPlanRecord> flightPlans() const;
    std::vector<Violation> violations() const;
    std::vector<ConnectionInfo> connections() const;
    std::uint64_t frame() const;
    std::int64_t clockMs() const;
    bool simRunning() const;

    // Waits until `pred` holds or the time is up; `pred` may call the queries. Re-checked after every
    // handled packet, connection and disconnection; never sleep-polls.
    bool waitFor(const std::function<bool()>& pred, std::chrono::milliseconds timeout);
    // Waits until `count` packets with this id (0xF00000nn, or just nn) have arrived in all.
    bool waitPackets(std::uint32_t id, std::uint64_t count, std::chrono::milliseconds timeout);

private:
    struct Connection;
    class Hub;
    struct PendingCreation {
        std::uint32_t connection = 0;
        std::uint32_t sendId = 0;
        CreateAircraftPacket create;
        std::uint32_t framesLeft = 0;
    };
    using Clock = std::chrono::steady_clock;

    void run();
    void pollOnce();
    void acceptFrom(int listenFd, const std::string& transport);
    void readFrom(Connection& connection);
    void writeTo(Connection& connection, Clock::time_point now);
    void closeConnection(std::uint32_t id);
    void runTimers(Clock::time_point now);
    Clock::time_point nextDeadline(Clock::time_point now) const;

    // All of these run with mutex_ held.
    void collectOutput();
    void frameLocked();
    void secondsLocked(std::int64_t count);
    void announceLocked(bool added, std::uint32_t objectId);
    void forTargets(std::optional<std::uint32_t> connection, const std::function<void(Connection&)>& action);
    void queueRaw(Connection& connection, std::string bytes);
    void wake();
    void waitFlushed(std::unique_lock<std::mutex>& lock);
    void touched();
    // The record (standin_record.cpp).
    void startRecording();
    void stopRecording(std::unique_lock<std::mutex>& lock);
    template <typename T> void noteLocked(const T& entry);
    void notePositionsLocked();
    void noteStatsLocked();
    void recordLocked(Clock::time_point now);
    void writeRecord(std::unique_lock<std::mutex>& lock);

    StandinOptions options_;
    SessionOptions sessionOptions_;
    mutable std::mutex mutex_;
    std::condition_variable packetCv_;
    std::condition_variable flushCv_;
    std::uint64_t generation_ = 0;
    World world_;
    CreationKnobs knobs_;
    FaultModes faults_;
    std::unique_ptr<Hub> hub_;
    std::map<std::uint32_t, std::unique_ptr<Connection>> connections_;
    std::vector<ConnectionInfo> closedInfo_;
    std::deque<PendingCreation> pendingCreations_;
    std::vector<std::uint32_t> heldObjectAdded_;
    std::uint32_t nextConnectionId_ = 1;

    Fd wakeFd_;
    Listener tcp4_;
    Listener tcp6_;
    Listener unix_;
    std::optional<std::uint16_t> tcp4Port_;
    std::optional<std::uint16_t> tcp6Port_;
    std::optional<std::string> unixPath_;
    std::thread io_;
    std::thread::id ioThreadId_;
    bool stopping_ = false;
    bool running_ = false; // the I/O thread runs: only then do controls wait for their bytes to go out
    Clock::time_point nextFrame_;
    std::int64_t lastSecond_ = 0;
    std::unique_ptr<Recorder> recorder_;
    Clock::time_point nextStats_;
};

} // namespace zeph::standin
