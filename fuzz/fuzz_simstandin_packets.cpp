// Random byte streams into one session of the simulator stand-in: nothing may crash or read out of bounds,
// whatever a client sends.
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "simstandin/session.h"
#include "simstandin/world.h"

namespace {

using namespace zeph::standin;

// Stands in for the server around the one session.
class LoneHub : public SessionHub {
public:
    Session* session = nullptr;
    std::vector<std::pair<std::uint32_t, CreateAircraftPacket>> deferred;

    void announceObject(bool added, std::uint32_t objectId) override {
        session->sendObjectEvent(added, objectId);
    }
    void deferCreation(std::uint32_t, std::uint32_t sendId, const CreateAircraftPacket& create,
                       std::uint32_t) override {
        deferred.emplace_back(sendId, create);
    }
    void holdObjectAdded(std::uint32_t objectId) override { held_.push_back(objectId); }
    void byTypeReplied() override {
        for (std::uint32_t id : held_) {
            session->sendObjectEvent(true, id);
        }
        held_.clear();
    }

private:
    std::vector<std::uint32_t> held_;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2) {
        return 0;
    }
    // The first byte picks the profile and the knobs; the second the size of the pieces the stream comes in.
    const std::uint8_t mode = data[0];
    const std::size_t piece = 1 + data[1];
    const std::string_view stream(reinterpret_cast<const char*>(data + 2), size - 2);

    WorldLimits limits;
    limits.logLimit = 64;
    limits.positionHistory = 8;
    World world(limits);
    world.user().lat = 50.0333;
    world.user().lon = 8.5706;
    CreationKnobs knobs;
    knobs.delayFrames = (mode & 0x04U) != 0 ? 1 : 0;
    knobs.objectAddedAfterNextByType = (mode & 0x08U) != 0;
    SessionOptions options;
    options.legacy = (mode & 0x01U) != 0;
    options.answerViolations = (mode & 0x02U) != 0;
    LoneHub hub;
    Session session(1, options, world, knobs, hub);
    hub.session = &session;

    std::uint64_t handled = 0;
    for (std::size_t at = 0; at < stream.size(); at += piece) {
        if (!session.feed(stream.substr(at, piece))) {
            break;
        }
        if (session.packetsHandled() == handled) {
            continue; // frames and seconds only between packets, so byte-by-byte streams stay quick
        }
        handled = session.packetsHandled();
        session.onFrame();
        session.onSecond();
        for (const auto& [sendId, create] : hub.deferred) {
            session.completeCreation(sendId, create);
        }
        hub.deferred.clear();
        session.outbox().clear();
    }
    return 0;
}
