#pragma once
#include <cstddef>
#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "model/sim_records.h"
#include "sim/sim_link.h"
#include "sim/user_aircraft.h"

// The simulator as the traffic engine meets it, in-process: it answers the engine's own requests through
// the call port, and frame() does to the shared state what the client thread's frame handler does. No
// packets: the wire-level stand-in is tools/simstandin.
//
// Its records are touched under simConnectMutex on both sides (the port is called with the lock held, frame
// takes it), so a client thread may call frame() while the traffic thread runs passes. Read the records
// only while no frame runs.

namespace zeph::test {

class FakeSimulator final : public SimCallPort {
public:
    // The pass numbers are those of the pass that asked or handed over.
    struct RangeCall {
        std::int64_t pass = 0;
        std::uint32_t requestId = 0;
        std::uint32_t defineId = 0;
        std::uint32_t radiusMeters = 0;
        std::uint32_t objectType = 0;
    };
    struct Creation {
        std::int64_t pass = 0;
        std::uint32_t objectId = 0; // given by the fake, from 100
        std::string callsign;
        std::string title; // a copy of the livery title
        AiInitPosition position;
        std::uint32_t hexid = 0;
    };
    struct Removal {
        std::int64_t pass = 0;
        std::uint32_t objectId = 0;
    };

    // Installs itself as the call port; the destructor restores the default.
    FakeSimulator();
    ~FakeSimulator() override;
    FakeSimulator(const FakeSimulator&) = delete;
    FakeSimulator& operator=(const FakeSimulator&) = delete;

    // The n-th call (1 = the first) is answered 0x80004005; 0: every call succeeds.
    void failAtCall(std::size_t call) { failAtCall_ = call; }
    // The n-th call (1 = the first) of the named port method answers result.
    void answerCall(std::string_view method, std::size_t n, std::int32_t result);
    // The static CG height (feet) and static pitch (radians) the simulator reports for objects of this title;
    // others get 8.0 ft and 0.01 rad.
    void setStaticCg(const std::string& title, double feet, double radians);
    // Creations with these titles are refused: kind 6 at the frame that takes them.
    void refuseTitles(std::set<std::string> titles) { refusedTitles_ = std::move(titles); }
    // The ground elevation (feet) under every object, for the aircraft-in-range results; default 1400.
    void setGround(double feet) { ground_ = feet; }
    // The height above ground reported with each created live aircraft.
    void setHeightAboveGround(double feet) { heightAboveGround_ = feet; }
    // The simulator's user record, under simConnectMutex.
    void setUserData(const UserAcPosition& position);

    // One simulator frame. With simConnectError set the work lists are emptied and nothing is sent; a busy
    // simConnectMutex leaves everything for the next frame. Otherwise the positions, client events, creations
    // and removals are taken and recorded, the results owed from earlier frames and requests are pushed onto
    // simResultQueue: kind 2 for a removal one frame after it, kind 0 or 1 for a creation after the next
    // aircraft-in-range request, with that request kind 3 for every object at most 2500 ft above the ground
    // whose callsign does not end in '*', kind 4 after a static CG request, kind 6 for a refused title.
    void frame();

    std::int32_t requestDataOnSimObjectType(std::uint32_t requestId, std::uint32_t defineId,
                                            std::uint32_t radiusMeters, std::uint32_t objectType) override;

    // The port's other calls, recorded in order and answered 0: the call's name, its numbers in argument
    // order, and the flight-plan path or the data bytes.
    struct PortCall {
        std::int64_t pass = 0;
        std::string name;
        std::vector<std::uint32_t> values;
        std::string bytes;
        std::string fileText{}; // setAiFlightPlan: the file's text at the time of the call
    };
    struct ClientEvent {
        std::int64_t pass = 0;
        std::uint32_t objectId = 0;
        std::uint32_t event = 0;
        std::uint32_t value = 0;
    };
    std::int32_t requestDataOnSimObject(std::uint32_t requestId, std::uint32_t defineId,
                                        std::uint32_t objectId, std::uint32_t period) override;
    std::int32_t setAiFlightPlan(std::uint32_t objectId, const std::string& path,
                                 std::uint32_t requestId) override;
    std::int32_t transmitClientEvent(std::uint32_t objectId, std::uint32_t eventId, std::uint32_t data,
                                     std::uint32_t groupId, std::uint32_t flags) override;
    std::int32_t setDataOnSimObject(std::uint32_t defineId, std::uint32_t objectId, std::uint32_t flags,
                                    std::uint32_t arrayCount, std::uint32_t unitSize,
                                    const void* data) override;
    const std::vector<PortCall>& portCalls() const { return portCalls_; }
    // The queued client events the frames took, in order.
    const std::vector<ClientEvent>& clientEvents() const { return clientEvents_; }

    const std::vector<RangeCall>& rangeCalls() const { return rangeCalls_; }
    const std::vector<Creation>& creations() const { return creations_; }
    const std::vector<Removal>& removals() const { return removals_; }
    // The positions sent by the last frame that got the lock, and the count of all sent so far.
    const std::vector<AiPositionData>& lastPositions() const { return lastPositions_; }
    std::size_t positionCount() const { return positionCount_; }
    // Keeps every position sent, per object (off by default, so long runs keep no history).
    void recordPositions(bool on) { recordPositions_ = on; }
    // Every position sent to the object while recording, in order.
    std::vector<AiPositionData> positions(std::uint32_t objectId) const;
    // Forgets what was recorded (positions, calls and their counts, creations, removals); owed results stay
    // owed.
    void clearRecords();

private:
    struct Pending {
        std::string callsign;
        std::uint32_t hexid = 0;
        std::uint32_t objectId = 0;
    };

    struct SimObject {
        std::string callsign;
        std::string title;
        double altitude = 0.0; // last sent, feet
    };

    void takeWork(std::int64_t pass, std::vector<SimResult>& results);
    // The answer of a port call: checks the lock and counts the call by method.
    std::int32_t answer(const char* method);
    std::pair<double, double> staticCgOf(std::uint32_t objectId) const;
    void owePositionsInRange();

    std::map<std::string, std::map<std::size_t, std::int32_t>, std::less<>> answers_;
    std::map<std::string, std::size_t, std::less<>> methodCalls_;
    std::map<std::string, std::pair<double, double>> staticCg_;
    std::set<std::string> refusedTitles_;
    double ground_ = 1400.0;
    std::map<std::uint32_t, SimObject> objects_;
    std::vector<SimResult> owed_; // kinds 3 and 4, pushed at the next frame
    std::vector<ClientEvent> clientEvents_;
    std::size_t failAtCall_ = 0;
    std::size_t callCount_ = 0;
    double heightAboveGround_ = 0.0;
    std::uint32_t nextObjectId_ = 100;
    std::vector<RangeCall> rangeCalls_;
    std::vector<PortCall> portCalls_;
    std::vector<Creation> creations_;
    std::vector<Removal> removals_;
    std::vector<AiPositionData> lastPositions_;
    std::size_t positionCount_ = 0;
    bool recordPositions_ = false;
    std::map<std::uint32_t, std::vector<AiPositionData>> history_;
    std::vector<Pending> pending_;                // created, not yet seen by a range request
    std::vector<Pending> answered_;               // seen by a range request, reported at the next frame
    std::vector<std::uint32_t> removedLastFrame_; // reported at the next frame
};

} // namespace zeph::test
