#include "support/fake_simulator.h"

#include <fstream>
#include <iterator>
#include <mutex>
#include <utility>

#include <gtest/gtest.h>

#include "traffic/traffic_tables.h"

namespace zeph::test {
namespace {

constexpr std::int32_t kFailure = static_cast<std::int32_t>(0x80004005U);
constexpr std::uint32_t kRequestAcInRange = 101;
constexpr std::uint32_t kLastStaticHexid = 10000;
constexpr std::uint32_t kRequestStaticCg = 102;
constexpr double kDefaultCg = 8.0;
constexpr double kDefaultPitch = 0.01;
constexpr double kRangeHeight = 2500.0;
constexpr double kOnGroundMargin = 0.5;

std::string fileText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void pushResults(const std::vector<SimResult>& results) {
    if (results.empty()) {
        return;
    }
    const std::lock_guard lock(simResultMutex);
    simResultQueue.insert(simResultQueue.end(), results.begin(), results.end());
}

} // namespace

// Work queued for an earlier simulator is not this one's to answer: each fake starts from empty lists.
FakeSimulator::FakeSimulator() {
    {
        const std::lock_guard lock(simConnectMutex);
        positionBuffers.sendHalf().clear();
        clientEventWork.clear();
        creationWork.clear();
        removalWork.clear();
    }
    gf_installSimCalls(this);
}

FakeSimulator::~FakeSimulator() { gf_installSimCalls(nullptr); }

void FakeSimulator::answerCall(std::string_view method, std::size_t n, std::int32_t result) {
    answers_[std::string(method)][n] = result;
}

void FakeSimulator::setStaticCg(const std::string& title, double feet, double radians) {
    staticCg_[title] = {feet, radians};
}

std::int32_t FakeSimulator::answer(const char* method) {
    // The real port asserts the same: the caller holds simConnectMutex.
    if (!simConnectMutex.heldByThisThread()) {
        ADD_FAILURE() << method << " called without simConnectMutex";
    }
    const std::size_t n = ++methodCalls_[method];
    const auto byMethod = answers_.find(method);
    if (byMethod != answers_.end()) {
        const auto found = byMethod->second.find(n);
        if (found != byMethod->second.end()) {
            return found->second;
        }
    }
    return 0;
}

std::pair<double, double> FakeSimulator::staticCgOf(std::uint32_t objectId) const {
    const auto object = objects_.find(objectId);
    if (object != objects_.end()) {
        const auto cg = staticCg_.find(object->second.title);
        if (cg != staticCg_.end()) {
            return cg->second;
        }
    }
    return {kDefaultCg, kDefaultPitch};
}

void FakeSimulator::owePositionsInRange() {
    for (const auto& [objectId, object] : objects_) {
        const double height = object.altitude - ground_;
        if (height > kRangeHeight || (!object.callsign.empty() && object.callsign.back() == '*')) {
            continue;
        }
        const bool onGround = height <= staticCgOf(objectId).first + kOnGroundMargin;
        owed_.push_back(SimResult{objectId, onGround ? 1U : 0U, 0, 3, ground_, height});
    }
}

void FakeSimulator::setUserData(const UserAcPosition& position) {
    const std::lock_guard lock(simConnectMutex);
    simUserData = position;
}

std::int32_t FakeSimulator::requestDataOnSimObjectType(std::uint32_t requestId, std::uint32_t defineId,
                                                       std::uint32_t radiusMeters, std::uint32_t objectType) {
    rangeCalls_.push_back({tickCounter.load(), requestId, defineId, radiusMeters, objectType});
    const std::int32_t result = answer("requestDataOnSimObjectType");
    ++callCount_;
    if (callCount_ == failAtCall_) {
        return kFailure;
    }
    if (result == 0 && requestId == kRequestAcInRange) {
        owePositionsInRange();
        answered_.insert(answered_.end(), pending_.begin(), pending_.end());
        pending_.clear();
    }
    return result;
}

std::int32_t FakeSimulator::requestDataOnSimObject(std::uint32_t requestId, std::uint32_t defineId,
                                                   std::uint32_t objectId, std::uint32_t period) {
    portCalls_.push_back(
        {tickCounter.load(), "requestDataOnSimObject", {requestId, defineId, objectId, period}, {}});
    const std::int32_t result = answer("requestDataOnSimObject");
    if (result == 0 && requestId == kRequestStaticCg) {
        const auto [feet, radians] = staticCgOf(objectId);
        owed_.push_back(SimResult{objectId, 0, 0, 4, feet, radians});
    }
    return result;
}

std::int32_t FakeSimulator::setAiFlightPlan(std::uint32_t objectId, const std::string& path,
                                            std::uint32_t requestId) {
    portCalls_.push_back(
        {tickCounter.load(), "setAiFlightPlan", {objectId, requestId}, path, fileText(path)});
    return answer("setAiFlightPlan");
}

std::int32_t FakeSimulator::transmitClientEvent(std::uint32_t objectId, std::uint32_t eventId,
                                                std::uint32_t data, std::uint32_t groupId,
                                                std::uint32_t flags) {
    portCalls_.push_back(
        {tickCounter.load(), "transmitClientEvent", {objectId, eventId, data, groupId, flags}, {}});
    return answer("transmitClientEvent");
}

std::int32_t FakeSimulator::setDataOnSimObject(std::uint32_t defineId, std::uint32_t objectId,
                                               std::uint32_t flags, std::uint32_t arrayCount,
                                               std::uint32_t unitSize, const void* data) {
    const std::size_t size = static_cast<std::size_t>(arrayCount == 0 ? 1 : arrayCount) * unitSize;
    std::string bytes = data != nullptr ? std::string(static_cast<const char*>(data), size) : std::string();
    portCalls_.push_back({tickCounter.load(),
                          "setDataOnSimObject",
                          {defineId, objectId, flags, arrayCount, unitSize},
                          std::move(bytes)});
    return answer("setDataOnSimObject");
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
    results.insert(results.end(), owed_.begin(), owed_.end());
    owed_.clear();

    std::vector<AiPositionData>& sendHalf = positionBuffers.sendHalf();
    const std::uint32_t userObject = userAcObjectId.load();
    lastPositions_.clear();
    for (const AiPositionData& p : sendHalf) {
        if (p.objectId > userObject) {
            lastPositions_.push_back(p);
            if (recordPositions_) {
                history_[p.objectId].push_back(p);
            }
            const auto object = objects_.find(p.objectId);
            if (object != objects_.end()) {
                object->second.altitude = p.altitude;
            }
        }
    }
    positionCount_ += lastPositions_.size();
    sendHalf.clear();
    for (const QueuedClientEvent& e : clientEventWork) {
        clientEvents_.push_back({pass, e.objectId, e.clientEvent, e.value});
    }
    clientEventWork.clear();
    for (const AiCreateRequest& r : creationWork) {
        creations_.push_back({pass, nextObjectId_, r.callsign, std::string(r.livery), r.position, r.hexid});
        if (refusedTitles_.contains(std::string(r.livery))) {
            results.push_back(SimResult{0, r.hexid, 0, 6, 0.0, 0.0});
        } else {
            pending_.push_back({r.callsign, r.hexid, nextObjectId_});
            objects_[nextObjectId_] = {r.callsign, std::string(r.livery), r.position.altitude};
        }
        ++nextObjectId_;
    }
    creationWork.clear();
    for (const std::uint32_t objectId : removalWork) {
        removals_.push_back({pass, objectId});
        removedLastFrame_.push_back(objectId);
        objects_.erase(objectId);
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
    clientEvents_.clear();
    methodCalls_.clear();
    lastPositions_.clear();
    history_.clear();
    positionCount_ = 0;
}

std::vector<AiPositionData> FakeSimulator::positions(std::uint32_t objectId) const {
    const auto found = history_.find(objectId);
    return found == history_.end() ? std::vector<AiPositionData>{} : found->second;
}

} // namespace zeph::test
