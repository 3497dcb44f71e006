#include "state/run_state.h"

#include "core/time_text.h"

namespace zeph {

std::atomic<bool> oneSecondPending{false};
std::atomic<std::int32_t> secondsCounter{0};
std::atomic<std::uint64_t> currentWeekSlot{0};
std::atomic<std::int32_t> renewalCountdown{20};
std::atomic<bool> rereadRequest{false};
std::atomic<bool> flushStaticRequest{false};
std::atomic<bool> callsignListRequest{false};
std::atomic<bool> blockingChanged{false};
std::atomic<bool> matchingDepthRaised{false};
std::atomic<bool> staticRenewNow{false};
std::filesystem::path stockAirportsPath;

void lf_refreshWeekSlot() { currentWeekSlot.exchange(packWeekSlot(gf_trafficDayAndHalfHour())); }

} // namespace zeph
