#pragma once
#include <atomic>
#include <mutex>
#include <string>
#include <unordered_set>

#include "core/geodesy.h"
#include "realtraffic/udp_readers.h"

// The Traffic Reader: RealTraffic's traffic lines. A minimal stand-in until the RealTraffic link lands.

namespace zeph {

class TrafficReader final : public UdpReader {
public:
    void onDatagram(std::string_view /*datagram*/) override {}
    // The user aircraft's position, handed over as one unit.
    void setUserPosition(GeoPoint position);
    GeoPoint userPosition() const;

    // The time field of the last traffic line read (seconds); 0 until the first line.
    double lastReportTime() const { return lastReportTime_.load(); }
    void setLastReportTime(double seconds) { lastReportTime_.store(seconds); }

    // Empties the seen-callsign set, then switches the collection on.
    void startCallsignCollection();
    // A callsign of a traffic line, kept only while the collection is on.
    void collectCallsign(const std::string& callsign);
    // Switches the collection off, then takes the set.
    std::unordered_set<std::string> takeSeenCallsigns();
    bool collectingCallsigns() const { return collect_.load(); }
    std::unordered_set<std::string> seenCallsigns() const;
    // The reader reset's part: the set emptied (the collect flag is left).
    void clearSeenCallsigns();

private:
    mutable std::mutex positionMutex_;
    GeoPoint userPosition_;
    std::atomic<double> lastReportTime_{0.0};
    mutable std::mutex seenMutex_;
    std::unordered_set<std::string> seen_;
    std::atomic<bool> collect_{false};
};

} // namespace zeph
