#pragma once
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "state/user_position.h"

// The TCP server RealTraffic connects to when it runs on this PC, and the lines the program sends it: the
// version question, the simulator's time, the user aircraft's position and "exit". One client at a time.
// Everything here runs on the traffic thread (the start-up thread of a run), one line at a time; the
// listener and the client stream belong to it.

namespace zeph {

extern std::atomic<bool> rtClientConnected;  // RealTraffic's client stream is connected
extern std::atomic<bool> realTrafficAwaited; // RealTraffic has not connected yet in this run

// Opens the server on 127.0.0.1 and PORT_NUMBER's text. Throws std::runtime_error with the text of the
// failing step: "getaddrinfo failed with error 10109" for a port text that is not 1..65535 in digits,
// "Bind failed at port {} with error {}" for a port in use, ...
void gf_startRTServer(std::string_view portText);
// The listener's port and address as the socket reports them; 0 and empty while none is open.
std::uint16_t rtServerPort();
std::string rtServerAddress();

// Accepts one client. Waits in slices of at most 250 ms and gives up as soon as a stop of the run is asked
// (runStopping, userStopped) or no listener is open. A connection its peer has already closed or reset is
// closed and the next one taken; one log line counts them. True when a new connection was made.
bool waitForClient();
// The bytes of RealTraffic's reply as they arrive, slice by slice, in room for 16384 bytes.
class ReplyGathering {
public:
    enum class State {
        More,   // not yet one JSON value
        Whole,  // one JSON value: what follows it stays unread
        Overrun // 16384 bytes or more: no version reply
    };
    ReplyGathering();
    // Where the next slice is received; never empty before an overrun.
    std::span<char> room();
    // bytes more were received into room().
    State took(std::size_t bytes);
    std::size_t count() const { return count_; }
    std::string reply() const;

private:
    std::vector<char> buffer_;
    std::size_t count_ = 0;
};

// RealTraffic's reply to the version question, gathered until it forms one JSON value, the peer closes, it
// has been quiet for 500 ms after its first byte, or 5 s have passed in all. Empty on any problem: a socket
// error, 16384 bytes or more, no byte within the 5 s, a stop of the run.
std::string gf_receiveFromRT();
// Sends text to the client; on failure logs it, closes the client and clears rtClientConnected.
bool sendDataPacket(std::string_view text);

// The first connection of a run and its version question (only when RealTraffic runs on this PC). A
// re-connection asks the question again while no reply of this run was readable.
void lf_waitForRealTraffic();
// Reads the version reply: rtProfessional and the version text of the top panel.
void lf_processRTVersion(std::string_view reply);
// "Qs123=" with the simulator's time in milliseconds; only while connected and from 1 s on.
void lf_sendSimTime(std::int64_t simSeconds);
// "Qs121=" with the user aircraft's position; when RealTraffic has gone, the wait for it to come back, with
// the version question while the run has not learned the edition.
void lf_sendUserPosition();
// The position line of a user record, with its CR LF.
std::string lf_positionLine(const UserAcPosition& position);

// What RealTraffic's going does to its traffic: the traffic engine registers its removal of the live
// aircraft at the start of the program, as the window installs its port; nullptr takes nothing out.
using LiveTrafficRemoval = void (*)();
void setLiveTrafficRemoval(LiveTrafficRemoval removal);

// Closes the client and the listener and clears rtClientConnected; sends nothing.
void gf_closeRealTrafficSockets();

} // namespace zeph
