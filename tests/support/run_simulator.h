#pragma once
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <thread>

#include "core/geodesy.h"
#include "simstandin/standin.h"

namespace zeph::test {

// The simulator of a whole run: an in-process stand-in, strict, with manual frames and a manual clock,
// listening on the local pipe the program finds under the environment as it is when the object is made
// (CORVANE_PIPE_DIR, else XDG_RUNTIME_DIR). Its user aircraft is an A320 at the given place; the run learns
// it through its own client thread and the real wait for the user aircraft. Only the clock is the test's:
// each advance by a second answers the run's one-second request.
class RunSimulator {
public:
    // clockMs: the simulator's UTC time in milliseconds.
    RunSimulator(GeoPoint user, bool onGround, std::int64_t clockMs = 1704070800000);
    // Stops the seconds, then the stand-in. Stop the run's client thread first: a stand-in that goes away
    // under a connected run ends that run as a closed simulator.
    ~RunSimulator();
    RunSimulator(const RunSimulator&) = delete;
    RunSimulator& operator=(const RunSimulator&) = delete;

    // Advances the clock by one second every period, from a thread of its own.
    void startSeconds(std::chrono::milliseconds period);
    // Stops the seconds; the connection stays.
    void freeze();
    // Seconds advanced so far.
    int seconds() const { return seconds_.load(); }

    standin::SimStandin& standin() { return *standin_; }

private:
    std::unique_ptr<standin::SimStandin> standin_;
    std::mutex pulseMutex_;
    std::condition_variable_any pulseWake_;
    std::jthread pulse_;
    std::atomic<int> seconds_{0};
};

} // namespace zeph::test
