#include "state/exit_reason.h"

#include <string>

#include <fmt/format.h>

#include "core/run_flags.h"
#include "state/status_line.h"

namespace zeph {

std::atomic<ExitReason> exitReason{ExitReason::NOT_YET_SET};
std::mutex exitReasonMutex;
std::int32_t restartDelay = 0;
std::atomic<bool> restartPending{false};

std::string_view exitReasonText(ExitReason reason) {
    for (const auto& [code, text] : exitReasonTexts) {
        if (code == reason) {
            return text;
        }
    }
    return {};
}

std::int32_t currentRestartDelay() {
    const std::lock_guard lock(exitReasonMutex);
    return restartDelay;
}

namespace {

bool recordUserCloseLocked() {
    userStopped.exchange(true);
    runStopping.exchange(true);
    ExitReason expected = ExitReason::NOT_YET_SET;
    return exitReason.compare_exchange_strong(expected, ExitReason::USER_CLOSED_SIM);
}

} // namespace

bool restartsAfter(ExitReason reason) {
    return reason == ExitReason::NEW_SETTINGS || reason == ExitReason::SIMCONNECT_ERROR ||
           reason == ExitReason::READER_ERROR;
}

bool gf_setExitReason(ExitReason reason, std::int32_t delaySeconds) {
    const std::lock_guard lock(exitReasonMutex);
    if (reason == ExitReason::USER_CLOSED_SIM) {
        return recordUserCloseLocked();
    }
    if (runStopping.exchange(true)) {
        return false;
    }
    exitReason.store(reason);
    restartDelay = delaySeconds;
    return true;
}

// Decided under the lock, so a restart recorded at the same moment by another thread is not taken for a
// close.
void recordStartUpStop() {
    const std::lock_guard lock(exitReasonMutex);
    if (runStopping.load() && restartsAfter(exitReason.load())) {
        return;
    }
    recordUserCloseLocked();
}

void gf_reportThreadStopped(std::string_view threadName, std::string_view errorText) {
    gf_setStatus(fmt::format("The {} has stopped with error: {}", threadName, errorText), true);
    gf_setExitReason(ExitReason::READER_ERROR, 15);
}

void recordSystemError() {
    const std::lock_guard lock(exitReasonMutex);
    exitReason.store(ExitReason::SYSTEM_ERROR);
}

void recordFirstSystemError() {
    const std::lock_guard lock(exitReasonMutex);
    if (!runStopping.exchange(true)) {
        exitReason.store(ExitReason::SYSTEM_ERROR);
        restartDelay = 0;
    }
}

namespace {

void clearExitReasonLocked() {
    userStopped.exchange(false);
    runStopping.exchange(false);
    exitReason.store(ExitReason::NOT_YET_SET);
}

} // namespace

void resetExitReasonForRestart() {
    const std::lock_guard lock(exitReasonMutex);
    clearExitReasonLocked();
}

bool resetExitReasonUnlessClosed() {
    const std::lock_guard lock(exitReasonMutex);
    if (userStopped.load()) {
        return false;
    }
    clearExitReasonLocked();
    return true;
}

} // namespace zeph
