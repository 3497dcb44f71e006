#include "core/time_text.h"

#include <cmath>
#include <limits>

#include <fmt/format.h>

#include "core/clock.h"

namespace zeph {

namespace {

constexpr const char* unknownName = "???";
constexpr const char* unknownClock = "??:??:??";
constexpr const char* invalidTime = "Invalid time";

// Platform weekday numbering: 0 is Sunday.
const char* weekdayName(int platformWeekday) {
    static constexpr const char* names[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
    return platformWeekday >= 0 && platformWeekday < 7 ? names[platformWeekday] : unknownName;
}

const char* monthName(int platformMonth) {
    static constexpr const char* names[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                            "Jul", "Aug", "Sep", "Okt", "Nov", "Dec"};
    return platformMonth >= 0 && platformMonth < 12 ? names[platformMonth] : unknownName;
}

std::optional<std::tm> breakDown(std::time_t t) {
    std::tm parts{};
    if (gmtime_r(&t, &parts) == nullptr) {
        return std::nullopt;
    }
    return parts;
}

// The clock texts are built from the broken-down time itself rather than cut out of the time text, so a
// time that cannot be broken down (or has a year of more than four digits) still gives eight characters.
std::string clockText(std::optional<std::time_t> t) {
    const auto parts = t ? breakDown(*t) : std::nullopt;
    if (!parts) {
        return unknownClock;
    }
    return fmt::format("{:02}:{:02}:{:02}", parts->tm_hour, parts->tm_min, parts->tm_sec);
}

// A report time is used only when it converts to time_t: converting NaN, infinity or a value outside
// time_t's range is undefined, so such a time counts as one that cannot be broken down.
std::optional<std::time_t> wholeSeconds(double reportTime) {
    if (!std::isfinite(reportTime)) {
        return std::nullopt;
    }
    const double whole = std::trunc(reportTime);
    // 2^63 is exact as a double; every double below it and at or above -2^63 fits a 64-bit time_t.
    constexpr double limit = 9223372036854775808.0;
    static_assert(sizeof(std::time_t) == 8 && std::numeric_limits<std::time_t>::is_signed);
    if (whole >= limit || whole < -limit) {
        return std::nullopt;
    }
    return static_cast<std::time_t>(whole);
}

} // namespace

std::string gf_timeText(std::time_t t) {
    const auto parts = breakDown(t);
    if (!parts) {
        return invalidTime;
    }
    return fmt::format("{:3} {:3} {:02} {:02}:{:02}:{:02} {:4}", weekdayName(parts->tm_wday),
                       monthName(parts->tm_mon), parts->tm_mday, parts->tm_hour, parts->tm_min, parts->tm_sec,
                       parts->tm_year + 1900LL);
}

std::string gf_utcClockText() { return clockText(nowUtc()); }

std::string gf_trafficClockText() { return clockText(trafficClockNow()); }

std::string gf_dateText() {
    const auto parts = breakDown(nowUtc());
    if (!parts) {
        return invalidTime;
    }
    return fmt::format("{:3} {:02}, {:4}", monthName(parts->tm_mon), parts->tm_mday, parts->tm_year + 1900LL);
}

std::optional<std::time_t> trafficClockNow() {
    const TrafficClockSource* source = trafficClockSource();
    if (source == nullptr || !source->rtProfessional()) {
        return nowUtc();
    }
    const auto reported = wholeSeconds(source->lastReportTime());
    if (!reported) {
        return std::nullopt;
    }
    // 0: no traffic report has come in yet.
    return *reported != 0 ? *reported : nowUtc();
}

std::pair<int, int> gf_trafficDayAndHalfHour() {
    // One reading serves both fields: two readings could straddle midnight and pair Monday with slot 0.
    const auto now = trafficClockNow();
    const auto parts = now ? breakDown(*now) : std::nullopt;
    if (!parts) {
        return {-1, -1};
    }
    const int weekday = parts->tm_wday == 0 ? 7 : parts->tm_wday;
    // The second half hour of an hour starts 30 seconds early, at h:29:30; the first on the full hour.
    const bool secondHalf = parts->tm_min > 29 || (parts->tm_min == 29 && parts->tm_sec >= 30);
    return {weekday, 2 * parts->tm_hour + (secondHalf ? 1 : 0)};
}

} // namespace zeph
