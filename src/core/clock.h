#pragma once
#include <cstdint>
#include <ctime>
#include <functional>

namespace zeph {

// The PC's UTC clock, or the test clock while one is installed.
std::time_t nowUtc();

// An empty function puts the system clock back.
void setClockForTests(std::function<std::time_t()> clock);

// The system clock in 100 ns ticks since 1970; under a test clock, nowUtc() x 10,000,000. Only its
// differences are used (parked times), so the two never meet in one run.
std::int64_t nowSystemTicks();

// What the traffic clock needs of the RealTraffic link, which owns these values.
class TrafficClockSource {
public:
    virtual ~TrafficClockSource() = default;
    virtual bool rtProfessional() const = 0;
    virtual double lastReportTime() const = 0; // seconds since 1970; 0 before the first report
};

// nullptr: the traffic clock is the PC clock.
void setTrafficClockSource(TrafficClockSource* source);
TrafficClockSource* trafficClockSource();

} // namespace zeph
