#include "support/run_simulator.h"

#include <filesystem>
#include <stdexcept>

#include "platform/local_pipe.h"
#include "sim/simconnect/transport.h"

namespace zeph::test {

RunSimulator::RunSimulator(GeoPoint user, bool onGround, std::int64_t clockMs) {
    standin::StandinOptions options;
    options.manualFrames = true;
    options.manualClock = true;
    options.answerViolations = true;
    const auto path = LocalPipe::socketPath(pipeFullName(".", ""));
    if (!path) {
        throw std::runtime_error("no local pipe path for the simulator");
    }
    std::filesystem::create_directories(path->parent_path());
    options.unixPath = path->string();
    standin_ = std::make_unique<standin::SimStandin>(options);
    standin_->setClock(clockMs);
    standin::UserUpdate update;
    update.lat = user.lat;
    update.lon = user.lon;
    update.alt = onGround ? 0.0 : 3000.0;
    update.groundSpeed = onGround ? 0.0 : 250.0;
    update.onGround = onGround;
    update.title = "Airbus A320 Lufthansa";
    update.atcModel = "A320";
    standin_->setUser(update);
    standin_->start();
}

RunSimulator::~RunSimulator() {
    freeze();
    standin_->stop();
}

void RunSimulator::startSeconds(std::chrono::milliseconds period) {
    freeze();
    pulse_ = std::jthread([this, period](const std::stop_token& stop) {
        auto next = std::chrono::steady_clock::now() + period;
        std::unique_lock lock(pulseMutex_);
        // The wait ends early only when the stop is requested: the pace is the test's simulator clock.
        while (!pulseWake_.wait_until(lock, stop, next, [] { return false; }) && !stop.stop_requested()) {
            next += period;
            lock.unlock();
            standin_->advanceClock(1000);
            ++seconds_;
            lock.lock();
        }
    });
}

void RunSimulator::freeze() {
    if (pulse_.joinable()) {
        pulse_.request_stop();
        pulse_.join();
    }
}

} // namespace zeph::test
