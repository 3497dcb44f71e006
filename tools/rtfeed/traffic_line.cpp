#include "rtfeed/traffic_line.h"

#include <chrono>
#include <cmath>
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

namespace {

// Days since 1970-01-01 of a date in the proleptic Gregorian calendar.
std::int64_t daysFromCivil(std::int64_t year, unsigned month, unsigned day) {
    year -= month <= 2 ? 1 : 0;
    const std::int64_t era = (year >= 0 ? year : year - 399) / 400;
    const auto yearOfEra = static_cast<unsigned>(year - era * 400);
    const unsigned dayOfYear = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
    const unsigned dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return era * 146097 + static_cast<std::int64_t>(dayOfEra) - 719468;
}

unsigned daysInMonth(std::int64_t year, unsigned month) {
    static constexpr unsigned kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    return kDays[month - 1] + (month == 2 && leap ? 1 : 0);
}

// The number of `digits` digits at text[at], or nothing.
std::optional<unsigned> digitsAt(std::string_view text, std::size_t at, std::size_t digits) {
    unsigned value = 0;
    if (at + digits > text.size()) {
        return std::nullopt;
    }
    for (std::size_t k = at; k < at + digits; ++k) {
        if (text[k] < '0' || text[k] > '9') {
            return std::nullopt;
        }
        value = value * 10 + static_cast<unsigned>(text[k] - '0');
    }
    return value;
}

} // namespace

std::optional<double> parseUtcIso(std::string_view text) {
    // YYYY-MM-DDTHH:MM:SS, then an optional fraction, then Z.
    static constexpr std::string_view kShape = "0000-00-00T00:00:00";
    if (text.size() < kShape.size() + 1 || text.back() != 'Z') {
        return std::nullopt;
    }
    for (std::size_t k = 0; k < kShape.size(); ++k) {
        if (kShape[k] != '0' && text[k] != kShape[k]) {
            return std::nullopt;
        }
    }
    const auto year = digitsAt(text, 0, 4);
    const auto month = digitsAt(text, 5, 2);
    const auto day = digitsAt(text, 8, 2);
    const auto hour = digitsAt(text, 11, 2);
    const auto minute = digitsAt(text, 14, 2);
    const auto second = digitsAt(text, 17, 2);
    if (!year || !month || !day || !hour || !minute || !second || *month < 1 || *month > 12 || *day < 1 ||
        *day > daysInMonth(*year, *month) || *hour > 23 || *minute > 59 || *second > 59) {
        return std::nullopt;
    }
    double fraction = 0;
    const std::string_view rest = text.substr(kShape.size(), text.size() - kShape.size() - 1);
    if (!rest.empty()) {
        const auto digits = rest.size() - 1;
        if (rest.front() != '.' || digits == 0 || digits > 9 || !digitsAt(rest, 1, digits)) {
            return std::nullopt;
        }
        fraction = *digitsAt(rest, 1, digits) / std::pow(10.0, static_cast<double>(digits));
    }
    const std::int64_t days = daysFromCivil(*year, *month, *day);
    return static_cast<double>(days * 86400 + *hour * 3600 + *minute * 60 + *second) + fraction;
}

double utcSecondsNow() {
    const auto since = std::chrono::system_clock::now().time_since_epoch();
    return std::chrono::duration<double>(since).count();
}

} // namespace zeph::rtfeed
