#include "realtraffic/traffic_reader.h"

#include <utility>

#include "core/log.h"
#include "realtraffic/traffic_lines.h"
#include "state/main_window_state.h"

namespace zeph {

namespace {
// Room for the fields of an ordinary line, so the first lines do not grow the vector step by step.
constexpr std::size_t kFieldRoom = 64;
} // namespace

TrafficReader::TrafficReader(InputLogLimit::Clock logClock) {
    errorLines() = InputLogLimit("Traffic Reader", std::move(logClock));
    fields_.reserve(kFieldRoom);
}

void TrafficReader::onStopped() {
    mainWindowState.trafficReaderState.store(3);
    invalidateTopPanel();
    gf_logText("Traffic Reader has stopped");
}

void TrafficReader::lf_onTrafficDatagram(std::string_view datagram) {
    // Ground vehicles are of no use to the traffic engine.
    if (datagram.find(" VEH") != std::string_view::npos) {
        return;
    }
    datagram_ = datagram;
    fields_.clear();
    // A plain byte loop: fields are a few bytes long, too short for memchr's set-up to pay off.
    std::size_t start = 0;
    for (std::size_t at = 0; at < datagram.size(); ++at) {
        if (datagram[at] == ',') {
            fields_.push_back(datagram.substr(start, at - start));
            start = at + 1;
        }
    }
    fields_.push_back(datagram.substr(start));
    processLineSub(*this);
    // The views point into the receive buffer, which the next datagram overwrites.
    datagram_ = {};
    fields_.clear();
}

void TrafficReader::setUserPosition(GeoPoint position) {
    const std::lock_guard lock(placeMutex_);
    userPosition_ = position;
}

GeoPoint TrafficReader::userPosition() const {
    const std::lock_guard lock(placeMutex_);
    return userPosition_;
}

void TrafficReader::setReferenceElevation(std::optional<double> feet) {
    const std::lock_guard lock(placeMutex_);
    referenceElevation_ = feet;
}

std::optional<double> TrafficReader::referenceElevation() const {
    const std::lock_guard lock(placeMutex_);
    return referenceElevation_;
}

void TrafficReader::startCallsignCollection() {
    const std::lock_guard lock(seenMutex_);
    seen_.clear();
    collect_.store(true);
}

void TrafficReader::collectCallsign(std::string_view callsign) {
    if (!collect_.load()) {
        return;
    }
    const std::lock_guard lock(seenMutex_);
    // The collection may have been switched off since the quick test above.
    if (collect_.load()) {
        seen_.emplace(callsign);
    }
}

std::unordered_set<std::string> TrafficReader::takeSeenCallsigns() {
    const std::lock_guard lock(seenMutex_);
    collect_.store(false);
    return std::exchange(seen_, {});
}

std::unordered_set<std::string> TrafficReader::seenCallsigns() const {
    const std::lock_guard lock(seenMutex_);
    return seen_;
}

void TrafficReader::clearSeenCallsigns() {
    const std::lock_guard lock(seenMutex_);
    seen_.clear();
}

void TrafficReader::logLineError(std::string_view text) {
    logInputError("exception in processLineSub: " + escapeOutsideBytes(text), gf_logText);
}

} // namespace zeph
