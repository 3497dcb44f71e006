#include "realtraffic/traffic_reader.h"

#include <bit>
#include <cstdint>
#include <cstring>
#include <utility>

#include "core/log.h"
#include "realtraffic/traffic_lines.h"
#include "state/main_window_state.h"

namespace zeph {

namespace {
// Room for the fields of an ordinary line, so the first lines do not grow the vector step by step.
constexpr std::size_t kFieldRoom = 64;
constexpr std::string_view kGroundVehicle = " VEH";
constexpr std::uint64_t kEveryByte = 0x0101010101010101ULL;
constexpr std::uint64_t kLowSevenBits = 0x7F7F7F7F7F7F7F7FULL;

// The top bit of each of the eight bytes of chunk that equals byte, and no other bit.
std::uint64_t bytesEqualTo(std::uint64_t chunk, unsigned char byte) {
    const std::uint64_t differs = chunk ^ (kEveryByte * byte);
    return ~(((differs & kLowSevenBits) + kLowSevenBits) | differs | kLowSevenBits);
}

// Splits line at every ',' into fields; false when the line holds " VEH" (then fields are to be dropped).
// Eight bytes are looked at a time: a byte loop spent a cycle on every byte of the line. A space is rare, so
// " VEH" is looked for only from the first eight bytes that hold one.
bool splitUnlessGroundVehicle(std::string_view line, std::vector<std::string_view>& fields) {
    const char* const bytes = line.data();
    std::size_t start = 0;
    std::size_t at = 0;
    bool vehicleRuledOut = false;
    const auto ruleOutVehicle = [&] {
        vehicleRuledOut = line.find(kGroundVehicle, at) == std::string_view::npos;
        return vehicleRuledOut;
    };
    if constexpr (std::endian::native == std::endian::little) {
        for (; at + sizeof(std::uint64_t) <= line.size(); at += sizeof(std::uint64_t)) {
            std::uint64_t chunk = 0;
            std::memcpy(&chunk, bytes + at, sizeof chunk);
            if (!vehicleRuledOut && bytesEqualTo(chunk, ' ') != 0 && !ruleOutVehicle()) {
                return false;
            }
            for (std::uint64_t commas = bytesEqualTo(chunk, ','); commas != 0; commas &= commas - 1) {
                const std::size_t comma = at + static_cast<std::size_t>(std::countr_zero(commas) / 8);
                fields.emplace_back(bytes + start, comma - start);
                start = comma + 1;
            }
        }
    }
    if (!vehicleRuledOut && !ruleOutVehicle()) {
        return false;
    }
    for (; at < line.size(); ++at) {
        if (bytes[at] == ',') {
            fields.emplace_back(bytes + start, at - start);
            start = at + 1;
        }
    }
    fields.emplace_back(bytes + start, line.size() - start);
    return true;
}
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
    fields_.clear();
    // Ground vehicles are of no use to the traffic engine.
    if (splitUnlessGroundVehicle(datagram, fields_)) {
        datagram_ = datagram;
        {
            const std::lock_guard lock(placeMutex_);
            linePlace_ = Place{userPosition_, referenceElevation_};
        }
        processLineSub(*this);
    }
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
