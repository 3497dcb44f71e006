#include "realtraffic/traffic_reader.h"

#include <utility>

namespace zeph {

void TrafficReader::setUserPosition(GeoPoint position) {
    const std::lock_guard lock(positionMutex_);
    userPosition_ = position;
}

GeoPoint TrafficReader::userPosition() const {
    const std::lock_guard lock(positionMutex_);
    return userPosition_;
}

void TrafficReader::startCallsignCollection() {
    {
        const std::lock_guard lock(seenMutex_);
        seen_.clear();
    }
    collect_.store(true);
}

void TrafficReader::collectCallsign(const std::string& callsign) {
    if (!collect_.load()) {
        return;
    }
    const std::lock_guard lock(seenMutex_);
    seen_.insert(callsign);
}

std::unordered_set<std::string> TrafficReader::takeSeenCallsigns() {
    collect_.store(false);
    const std::lock_guard lock(seenMutex_);
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

} // namespace zeph
