#include "realtraffic/udp_readers.h"

#include <chrono>
#include <thread>

#include "app/seam_trace.h"
#include "realtraffic/qnh.h"
#include "realtraffic/traffic_reader.h"

namespace zeph {

TrafficReader trafficReader;
QnhReader qnhReader;
std::atomic<bool> trafficReaderLive{true};
std::atomic<bool> qnhReaderLive{true};
RealTrafficUdpPorts realTrafficUdpPorts;

namespace {

void waitForStopFlag(const UdpReader& reader) {
    using namespace std::chrono_literals;
    while (!reader.stopFlag.load()) {
        std::this_thread::sleep_for(50ms);
    }
}

} // namespace

// Minimal stand-ins until the RealTraffic link lands.
void lf_trafficReaderThread(std::uint16_t /*port*/) { waitForStopFlag(trafficReader); }

void lf_qnhReaderThread(std::uint16_t /*port*/) { waitForStopFlag(qnhReader); }

void lf_checkReaderActivity() { noteSeamCall("lf_checkReaderActivity"); }

void gf_resetReaders() {
    trafficReader.setLastReportTime(0.0);
    trafficReader.clearSeenCallsigns();
    trafficReader.stopFlag.store(false);
    trafficReaderLive.store(true);
    qnhReader.lastQnh.store(1013);
    qnhReader.stopFlag.store(false);
    qnhReader.datagramCounter.store(0);
    qnhReader.counterSnapshot.store(0);
    qnhReaderLive.store(true);
}

} // namespace zeph
