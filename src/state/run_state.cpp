#include "state/run_state.h"

#include <mutex>
#include <utility>

#include "core/time_text.h"
#include "state/main_window_state.h"

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
std::atomic<bool> initialLoadOnlyByFlush{false};
std::atomic<bool> liveryScanAsked{false};
std::atomic<bool> airportScanAsked{false};
std::atomic<bool> maxLiveSelChanged{false};
std::atomic<bool> navLightsChanged{false};
std::atomic<bool> rtProfessional{false};
std::atomic<std::int64_t> tickCounter{0};
std::filesystem::path stockAirportsPath;

namespace {
// A leaf lock: nothing else is taken while it is held.
std::mutex destinationRequestMutex;
std::optional<DestinationRequest> pendingDestination;
} // namespace

void lf_requestDestination(const std::string& code, GeoPoint position) {
    const std::lock_guard lock(destinationRequestMutex);
    pendingDestination = DestinationRequest{code, position};
}

std::optional<DestinationRequest> takeDestinationRequest() {
    const std::lock_guard lock(destinationRequestMutex);
    return std::exchange(pendingDestination, std::nullopt);
}

void setRenewalCountdown(std::int32_t minutes) {
    renewalCountdown.store(minutes);
    mainWindowState.invalidateArea(settingsArea);
}

std::int32_t stepRenewalCountdown() {
    std::int32_t current = renewalCountdown.load();
    std::int32_t left = 0;
    do {
        left = current - 1;
    } while (!renewalCountdown.compare_exchange_weak(current, left < 1 ? 20 : left));
    mainWindowState.invalidateArea(settingsArea);
    return left;
}

void lf_refreshWeekSlot() { currentWeekSlot.exchange(packWeekSlot(gf_trafficDayAndHalfHour())); }

} // namespace zeph
