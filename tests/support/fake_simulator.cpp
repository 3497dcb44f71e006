#include "support/fake_simulator.h"

#include <mutex>
#include <utility>

#include "traffic/traffic_tables.h"

namespace zeph::test {
namespace {

constexpr std::int32_t kFailure = static_cast<std::int32_t>(0x80004005U);
constexpr std::uint32_t kRequestAcInRange = 101;
constexpr std::uint32_t kLastStaticHexid = 10000;

void pushResults(const std::vector<SimResult>& results) {
    if (results.empty()) {
        return;
    }
    const std::lock_guard lock(simResultMutex);
    simResultQueue.insert(simResultQueue.end(), results.begin(), results.end());
}

} // namespace

FakeSimulator::FakeSimulator() { gf_installSimCalls(this); }

FakeSimulator::~FakeSimulator() { gf_installSimCalls(nullptr); }

void FakeSimulator::setUserData(const UserAcPosition& position) {
    const std::lock_guard lock(simConnectMutex);
    simUserData = position;
}

std::int32_t FakeSimulator::requestDataOnSimObjectType(std::uint32_t requestId, std::uint32_t defineId,
                                                       std::uint32_t radiusMeters, std::uint32_t objectType) {
    rangeCalls_.push_back({tickCounter.load(), requestId, defineId, radiusMeters, objectType});
    ++callCount_;
    if (callCount_ == failAtCall_) {
        return kFailure;
    }
    if (requestId == kRequestAcInRange) {
        answered_.insert(answered_.end(), pending_.begin(), pending_.end());
        pending_.clear();
    }
    return 0;
}

std::int32_t FakeSimulator::requestDataOnSimObject(std::uint32_t requestId, std::uint32_t defineId,
                                                   std::uint32_t objectId, std::uint32_t period) {
    portCalls_.push_back({tickCounter.load(), "requestDataOnSimObject", {requestId, defineId, objectId, period}, {}});
    return 0;
}

std::int32_t FakeSimulator::setAiFlightPlan(std::uint32_t objectId, const std::string& path,
                                            std::uint32_t requestId) {
    portCalls_.push_back({tickCounter.load(), "setAiFlightPlan", {objectId, requestId}, path});
    return 0;
}

std::int32_t FakeSimulator::transmitClientEvent(std::uint32_t objectId, std::uint32_t eventId, std::uint32_t data,
                                                std::uint32_t groupId, std::uint32_t flags) {
    portCalls_.push_back({tickCounter.load(), "transmitClientEvent", {objectId, eventId, data, groupId, flags}, {}});
    return 0;
}

std::int32_t FakeSimulator::setDataOnSimObject(std::uint32_t defineId, std::uint32_t objectId, std::uint32_t flags,
                                               std::uint32_t arrayCount, std::uint32_t unitSize, const void* data) {
    const std::size_t size = static_cast<std::size_t>(arrayCount == 0 ? 1 : arrayCount) * unitSize;
    std::string bytes = data != nullptr ? std::string(static_cast<const char*>(data), size) : std::string();
    portCalls_.push_back({tickCounter.load(), "setDataOnSimObject", {defineId, objectId, flags, arrayCount, unitSize},
                          std::move(bytes)});
    return 0;
}

void FakeSimulator::takeWork(std::int64_t pass, std::vector<SimResult>& results) {
    // Results owed from before this frame: removals of the last frame, creations a range request has seen.
    for (const std::uint32_t objectId : removedLastFrame_) {
        results.push_back(SimResult{objectId, 0, 0, 2, 0.0, 0.0});
    }
    removedLastFrame_.clear();
    for (const Pending& p : answered_) {
        const bool live = p.hexid > kLastStaticHexid;
        results.push_back(
            SimResult{p.objectId, p.hexid, 0, live ? 0U : 1U, 0.0, live ? heightAboveGround_ : 0.0});
    }
    answered_.clear();

    std::vector<AiPositionData>& sendHalf = positionBuffers.sendHalf();
    const std::uint32_t userObject = userAcObjectId.load();
    lastPositions_.clear();
    for (const AiPositionData& p : sendHalf) {
        if (p.objectId > userObject) {
            lastPositions_.push_back(p);
        }
    }
    positionCount_ += lastPositions_.size();
    sendHalf.clear();
    clientEventWork.clear();
    for (const AiCreateRequest& r : creationWork) {
        creations_.push_back({pass, nextObjectId_, r.callsign, std::string(r.livery), r.position, r.hexid});
        pending_.push_back({r.callsign, r.hexid, nextObjectId_});
        ++nextObjectId_;
    }
    creationWork.clear();
    for (const std::uint32_t objectId : removalWork) {
        removals_.push_back({pass, objectId});
        removedLastFrame_.push_back(objectId);
    }
    removalWork.clear();
}

void FakeSimulator::frame() {
    if (simConnectError.load()) {
        const std::lock_guard lock(simConnectMutex);
        positionBuffers.sendHalf().clear();
        clientEventWork.clear();
        creationWork.clear();
        removalWork.clear();
        return;
    }
    std::vector<SimResult> results;
    {
        const std::unique_lock lock(simConnectMutex, std::try_to_lock);
        if (!lock.owns_lock()) {
            return;
        }
        // A frame follows the pass it serves; the pass has counted itself already.
        takeWork(tickCounter.load() - 1, results);
    }
    // The result queue's mutex is never taken inside simConnectMutex.
    pushResults(results);
}

void FakeSimulator::clearRecords() {
    const std::lock_guard lock(simConnectMutex);
    rangeCalls_.clear();
    portCalls_.clear();
    creations_.clear();
    removals_.clear();
    lastPositions_.clear();
    positionCount_ = 0;
}

} // namespace zeph::test
