#include "realtraffic/rt_server.h"

#include <string>

#include <fmt/format.h>

#include "app/seam_trace.h"

namespace zeph {

std::atomic<bool> rtClientConnected{false};
std::atomic<bool> rtProfessional{false};
std::atomic<bool> realTrafficAwaited{true};

namespace {

// The text without its line end, for the trace.
std::string_view withoutLineEnd(std::string_view text) {
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) {
        text.remove_suffix(1);
    }
    return text;
}

} // namespace

void gf_startRTServer(std::string_view portText) {
    noteSeamCall(fmt::format("gf_startRTServer {}", portText));
}

void lf_waitForRealTraffic() { noteSeamCall("lf_waitForRealTraffic"); }

void lf_sendSimTime(std::int64_t simSeconds) { noteSeamCall(fmt::format("lf_sendSimTime {}", simSeconds)); }

void lf_sendUserPosition() { noteSeamCall("lf_sendUserPosition"); }

bool sendDataPacket(std::string_view text) {
    noteSeamCall(fmt::format("sendDataPacket {}", withoutLineEnd(text)));
    return true;
}

void gf_closeRealTrafficSockets() {
    noteSeamCall("gf_closeRealTrafficSockets");
    rtClientConnected.store(false);
}

} // namespace zeph
