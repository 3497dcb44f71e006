// Any bytes as one traffic datagram: the reader must neither crash nor hand the engine a non-finite number.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <mutex>
#include <string_view>

#include "realtraffic/report_queue.h"
#include "realtraffic/traffic_reader.h"
#include "settings/range.h"
#include "traffic/park_airport_status.h"
#include "traffic/traffic_tables.h"

namespace {

bool finite(const zeph::StreamPos& p) {
    for (const double value :
         {p.latitude, p.longitude, p.altitude, p.groundSpeed, p.track, p.verticalRate, p.trueAirspeed}) {
        if (!std::isfinite(value)) {
            return false;
        }
    }
    return (!p.roll || std::isfinite(*p.roll)) && (!p.trueHeading || std::isfinite(*p.trueHeading));
}

// The surroundings are set once: a range of the whole earth, so every readable line goes deep, and a park
// airport, so lines on the ground are taken too.
zeph::TrafficReader& reader() {
    static zeph::TrafficReader instance;
    static const bool ready = [] {
        zeph::lateralRangeNm.store(10800.0);
        zeph::setParkAirportRecord({"EHAM", "AMS", "", 52.3086, 4.7639, -11.0});
        zeph::setTrafficAccepting(true);
        return true;
    }();
    (void)ready;
    return instance;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    zeph::TrafficReader& traffic = reader();
    traffic.setUserPosition({52.3, 4.76});
    traffic.setReferenceElevation(size % 2 == 0 ? std::optional<double>(-11.0) : std::nullopt);
    traffic.lf_onTrafficDatagram(std::string_view(reinterpret_cast<const char*>(data), size));
    const std::lock_guard lock(zeph::addingStackMutex);
    for (const auto& report : zeph::addingStack) {
        if (!finite(report.position) || !std::isfinite(report.reportTime)) {
            std::abort();
        }
    }
    zeph::addingStack.clear();
    return 0;
}
