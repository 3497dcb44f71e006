#pragma once
#include <ctime>
#include <optional>
#include <string>
#include <utility>

namespace zeph {

// "Sun Dec 06 07:25:18 2026" (UTC; October is "Okt"), or "Invalid time" when t cannot be broken down.
std::string gf_timeText(std::time_t t);

// "07:25:18" of the PC clock / of the traffic clock; "??:??:??" when the time cannot be broken down.
std::string gf_utcClockText();
std::string gf_trafficClockText();

// "Dec 06, 2026", or "Invalid time".
std::string gf_dateText();

// RealTraffic's time of its latest report while the professional edition reports, else the PC clock;
// no value when the report time is not a time (NaN, infinite, outside time_t).
std::optional<std::time_t> trafficClockNow();

// Weekday 1..7 (Monday 1) and half-hour slot 0..47 of one reading of the traffic clock; -1 in both
// fields when it cannot be broken down.
std::pair<int, int> gf_trafficDayAndHalfHour();

} // namespace zeph
