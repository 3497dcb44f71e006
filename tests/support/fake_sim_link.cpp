#include "support/fake_sim_link.h"

#include <mutex>

#include "app/main_loop.h"
#include "app/window/main_window_state.h"
#include "sim/sim_link.h"
#include "sim/user_aircraft.h"

namespace zeph::test {

namespace {
// A connected link's client: every request the traffic pass makes succeeds.
class AnsweringPort final : public SimCallPort {
public:
    std::int32_t requestDataOnSimObjectType(std::uint32_t, std::uint32_t, std::uint32_t,
                                            std::uint32_t) override {
        return 0;
    }
    std::int32_t requestDataOnSimObject(std::uint32_t, std::uint32_t, std::uint32_t, std::uint32_t) override {
        return 0;
    }
    std::int32_t setAiFlightPlan(std::uint32_t, const std::string&, std::uint32_t) override { return 0; }
    std::int32_t transmitClientEvent(std::uint32_t, std::uint32_t, std::uint32_t, std::uint32_t,
                                     std::uint32_t) override {
        return 0;
    }
    std::int32_t setDataOnSimObject(std::uint32_t, std::uint32_t, std::uint32_t, std::uint32_t, std::uint32_t,
                                    const void*) override {
        return 0;
    }
};
AnsweringPort answeringPort;
} // namespace

FakeSimLink::~FakeSimLink() {
    freeze();
    gf_installSimCalls(nullptr);
}

void FakeSimLink::connect(GeoPoint position, bool onGround, double halfWingSpanNm) {
    UserAcPosition record;
    record.latitude = position.lat;
    record.longitude = position.lon;
    {
        const std::lock_guard lock(simConnectMutex);
        simUserData = record;
    }
    {
        const std::lock_guard lock(userDataMutex);
        userAcPosition = record;
        userOnGround = onGround ? 1 : 0;
        userOnGroundKnown = 1;
        userHalfWingSpan = halfWingSpanNm;
    }
    mainWindowState.simConnected.store(true);
    gf_installSimCalls(&answeringPort);
    simConnected.store(true);
}

void FakeSimLink::startSeconds(std::chrono::milliseconds period) {
    freeze();
    pulse_ = std::jthread([this, period](std::stop_token stop) {
        auto next = std::chrono::steady_clock::now() + period;
        while (!stop.stop_requested()) {
            std::this_thread::sleep_until(next);
            next += period;
            oneSecondPending.store(true);
            ++pulses_;
        }
    });
}

void FakeSimLink::freeze() {
    if (pulse_.joinable()) {
        pulse_.request_stop();
        pulse_.join();
    }
}

void FakeSimLink::flightStops() { simConnected.store(false); }

void FakeSimLink::flightRuns() { simConnected.store(true); }

void FakeSimLink::fail() { lf_simRequestError(); }

void FakeSimLink::setUtcSeconds(std::int64_t seconds) { simUtcSeconds.store(seconds); }

} // namespace zeph::test
