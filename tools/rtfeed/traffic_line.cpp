#include "rtfeed/traffic_line.h"

#include <chrono>
#include <vector>

#include <fmt/format.h>

namespace zeph::rtfeed {

TrafficLine& TrafficLine::set(std::size_t n, std::string text) {
    overrides_[n] = std::move(text);
    return *this;
}

std::string TrafficLine::toDatagram() const {
    std::vector<std::string> fields(kFieldCount);
    fields[0].push_back('T'); // assigning the literal sets off a false -Wrestrict in g++ 12 at -O2
    fields[1] = fmt::format("{}", hexid);
    fields[2] = fmt::format("{:.6f}", latitude);
    fields[3] = fmt::format("{:.6f}", longitude);
    fields[4] = fmt::format("{}", altitude);
    fields[5] = fmt::format("{}", verticalRate);
    fields[7] = track ? fmt::format("{:.1f}", *track) : std::string();
    fields[8] = fmt::format("{}", groundSpeed);
    fields[9] = callsign;
    fields[10] = type;
    fields[11] = registration;
    fields[12] = from;
    fields[13] = to;
    fields[14] = fmt::format("{:.2f}", time);
    fields[17] = source;
    fields[20] = fmt::format("{}", trueAirspeed);
    fields[23] = fmt::format("{}", roll);
    fields[25] = fmt::format("{:.1f}", trueHeading);
    fields[28] = category;
    for (const auto& [n, text] : overrides_) {
        if (n >= fields.size()) {
            fields.resize(n + 1);
        }
        fields[n] = text;
    }
    return fmt::format("{}", fmt::join(fields, ","));
}

double utcSecondsNow() {
    const auto since = std::chrono::system_clock::now().time_since_epoch();
    return std::chrono::duration<double>(since).count();
}

} // namespace zeph::rtfeed
