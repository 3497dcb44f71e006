#pragma once
#include <atomic>
#include <chrono>
#include <cstdint>
#include <thread>

#include "core/geodesy.h"

namespace zeph::test {

// The simulator link as the main loop sees it, in-process: a connected user aircraft and a one-second pulse
// from a thread of its own. The destructor stops and joins the pulse.
class FakeSimLink {
public:
    FakeSimLink() = default;
    ~FakeSimLink();
    FakeSimLink(const FakeSimLink&) = delete;
    FakeSimLink& operator=(const FakeSimLink&) = delete;

    // Fills the simulator's user record and the program's copy (before the main loop starts), marks the
    // on-ground state known, sets the half wing span, the window's connection mark and simConnected, and
    // installs a call port that answers every request (until the destructor).
    void connect(GeoPoint position, bool onGround, double halfWingSpanNm);

    // Raises oneSecondPending every period from the pulse thread.
    void startSeconds(std::chrono::milliseconds period = std::chrono::milliseconds(1000));
    // Stops the pulses; the flight keeps running.
    void freeze();

    void flightStops(); // simConnected cleared
    void flightRuns();  // simConnected set
    // A SimConnect request fails (lf_simRequestError).
    void fail();
    void setUtcSeconds(std::int64_t seconds);

    // Pulses sent so far.
    int pulses() const { return pulses_.load(); }

private:
    std::jthread pulse_;
    std::atomic<int> pulses_{0};
};

} // namespace zeph::test
