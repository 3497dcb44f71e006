#pragma once
#include <atomic>
#include <chrono>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "core/geodesy.h"
#include "realtraffic/input_log_limit.h"
#include "realtraffic/udp_readers.h"

// The Traffic Reader: receives RealTraffic's traffic lines and hands each accepted one to the traffic engine
// as a report. Its thread parses; the traffic thread writes the user position and the reference elevation
// and takes the callsigns seen.

namespace zeph {

class TrafficReader final : public UdpReader {
public:
    // The clock paces the error lines of outside input until the reader thread renews the cap.
    explicit TrafficReader(InputLogLimit::Clock logClock = &std::chrono::steady_clock::now);

    void onDatagram(std::string_view datagram) override { lf_onTrafficDatagram(datagram); }
    // The receive loop ended: display state 3 and "Traffic Reader has stopped".
    void onStopped() override;

    // Drops ground vehicles, splits the line into fields and parses it (reader thread).
    void lf_onTrafficDatagram(std::string_view datagram);

    // The line being parsed and its comma-separated fields, views into it.
    std::string_view datagram() const { return datagram_; }
    const std::vector<std::string_view>& fields() const { return fields_; }

    // The user aircraft's position, handed over as one unit; 0, 0 until the first update.
    void setUserPosition(GeoPoint position);
    GeoPoint userPosition() const;

    // The park airport's elevation in feet; empty while there is none.
    void setReferenceElevation(std::optional<double> feet);
    std::optional<double> referenceElevation() const;

    // Both, as one copy taken under one lock when the line being parsed arrived.
    struct Place {
        GeoPoint userPosition;
        std::optional<double> referenceElevation;
    };
    const Place& linePlace() const { return linePlace_; }

    // The time field of the last traffic line whose time could be read (seconds); 0 until the first line.
    double lastReportTime() const { return lastReportTime_.load(); }
    void setLastReportTime(double seconds) { lastReportTime_.store(seconds); }

    // Empties the seen-callsign set, then switches the collection on.
    void startCallsignCollection();
    // A callsign of a traffic line, kept only while the collection is on.
    void collectCallsign(std::string_view callsign);
    // Switches the collection off and takes the set; no callsign goes in after this returns.
    std::unordered_set<std::string> takeSeenCallsigns();
    bool collectingCallsigns() const { return collect_.load(); }
    std::unordered_set<std::string> seenCallsigns() const;
    // The reader reset's part: the set emptied (the collect flag is left).
    void clearSeenCallsigns();

    // Writes "exception in processLineSub: {}" with the text escaped, within the reader's error-line cap
    // (reader thread).
    void logLineError(std::string_view text);

private:
    std::string_view datagram_;
    std::vector<std::string_view> fields_;
    Place linePlace_;

    mutable std::mutex placeMutex_; // the user position and the reference elevation
    GeoPoint userPosition_;
    std::optional<double> referenceElevation_;

    std::atomic<double> lastReportTime_{0.0};

    // The collect flag is read without the lock as a quick test; it changes only under the lock, so a
    // callsign is put in only while it is set.
    mutable std::mutex seenMutex_;
    std::unordered_set<std::string> seen_;
    std::atomic<bool> collect_{false};
};

} // namespace zeph
