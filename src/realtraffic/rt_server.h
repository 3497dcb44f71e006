#pragma once
#include <atomic>
#include <cstdint>
#include <string_view>

// The TCP server RealTraffic connects to when it runs on this PC. Minimal stand-ins until the RealTraffic
// link lands: nothing listens and nothing is sent.

namespace zeph {

extern std::atomic<bool> rtClientConnected;  // RealTraffic's client socket is connected
extern std::atomic<bool> rtProfessional;     // RealTraffic reported its professional edition
extern std::atomic<bool> realTrafficAwaited; // the run still waits for RealTraffic's connection

// Opens the server on PORT_NUMBER's text.
void gf_startRTServer(std::string_view portText);
// Waits for RealTraffic's connection and asks its version.
void lf_waitForRealTraffic();
// "Qs123=" with the simulator's time in milliseconds.
void lf_sendSimTime(std::int64_t simSeconds);
// "Qs121=" with the user aircraft's position.
void lf_sendUserPosition();
// Sends text to the connected client; true when it went.
bool sendDataPacket(std::string_view text);
// Closes the client and the listening socket and clears rtClientConnected; sends nothing.
void gf_closeRealTrafficSockets();

} // namespace zeph
