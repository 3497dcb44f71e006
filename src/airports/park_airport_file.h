#pragma once
#include <atomic>
#include <cstdint>

namespace zeph {

// True while a park airport's file is loaded; the window shows the renewal note only then.
inline std::atomic<bool> parkAirportLoaded{false};
// The RT_traffic_week value of the loaded park airport's file.
inline std::atomic<std::int32_t> rtTrafficWeek{0};

} // namespace zeph
