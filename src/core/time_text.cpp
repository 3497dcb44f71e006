#include "core/time_text.h"

#include <fmt/format.h>

namespace zeph {

std::string gf_timeText(std::time_t t) {
    static constexpr const char* days[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
    static constexpr const char* months[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                             "Jul", "Aug", "Sep", "Okt", "Nov", "Dec"};
    std::tm parts{};
    if (gmtime_r(&t, &parts) == nullptr) {
        return "Invalid time";
    }
    return fmt::format("{:3} {:3} {:02} {:02}:{:02}:{:02} {:4}", days[parts.tm_wday], months[parts.tm_mon],
                       parts.tm_mday, parts.tm_hour, parts.tm_min, parts.tm_sec, parts.tm_year + 1900LL);
}

} // namespace zeph
