#include "state/main_window_state.h"

#include <utility>

#include "settings/parameter_table.h"
#include "state/window_port.h"

namespace zeph {

MainWindowState mainWindowState;

// Binding the references takes only the objects' addresses, so the parameter table need not be built yet.
MainWindowState::MainWindowState() : MAIN_WINDOW_X(zeph::MAIN_WINDOW_X), MAIN_WINDOW_Y(zeph::MAIN_WINDOW_Y) {
    restoreStartValues();
}

MainWindowState::~MainWindowState() = default;

void MainWindowState::setUserAcTitle(std::string text) {
    setText(&DisplayTexts::userAcTitle, std::move(text), topPanelArea);
}
void MainWindowState::setParkAirportCode(std::string text) {
    setText(&DisplayTexts::parkAirportCode, std::move(text), countersArea);
}
void MainWindowState::setParkAirportName(std::string text) {
    setText(&DisplayTexts::parkAirportName, std::move(text), countersArea);
}
void MainWindowState::setParkAirportPublisher(std::string text) {
    setText(&DisplayTexts::parkAirportPublisher, std::move(text), countersArea);
}
void MainWindowState::setQualityFactorText(std::string text) {
    setText(&DisplayTexts::qualityFactorText, std::move(text), countersArea);
}
void MainWindowState::setSimText(std::string text) {
    setText(&DisplayTexts::simText, std::move(text), topPanelArea);
}
void MainWindowState::setRealTrafficVersionText(std::string text) {
    setText(&DisplayTexts::realTrafficVersionText, std::move(text), topPanelArea);
}
void MainWindowState::setUserStandText(std::string text) {
    setText(&DisplayTexts::userStandText, std::move(text), topPanelArea);
}

void MainWindowState::setReservedStand(std::string text, bool found) {
    {
        const std::lock_guard lock(displayMutex);
        texts_.reservedStandText = std::move(text);
        texts_.reservedStandFound = found;
        reservedStandFound.store(found, std::memory_order_relaxed);
    }
    invalidateArea(countersArea);
}

DisplayTexts MainWindowState::displayTexts() const {
    const std::lock_guard lock(displayMutex);
    return texts_;
}

// The invalidation comes after the lock is released: the window layer takes its own locks, and a paint that
// follows must see the new text.
void MainWindowState::setText(std::string DisplayTexts::*field, std::string text, const Rect& area) {
    {
        const std::lock_guard lock(displayMutex);
        texts_.*field = std::move(text);
    }
    invalidateArea(area);
}

// Without a window the layer may not even be chosen yet (a worker in a test, or before initInstance), and
// there is nothing to repaint.
void MainWindowState::invalidateArea(const Rect& area) const {
    if (mainWindow.load() != nullptr) {
        windowPort().invalidate(area);
    }
}

void MainWindowState::restoreStartValues() {
    constexpr auto relaxed = std::memory_order_relaxed;
    ready.store(false);
    {
        const std::lock_guard lock(statusMutex);
        statusText.clear();
        errorText.clear();
        statusClock = 0;
        statusSetAt = 0;
        statusRepaintPending = false;
    }
    {
        const std::lock_guard lock(displayMutex);
        texts_ = DisplayTexts{};
    }
    paintDc = nullptr;
    mainWindow.store(nullptr);
    staticAverageFit.store(-1.0F, relaxed);
    liveAverageFit.store(-1.0F, relaxed);
    for (auto* count : {&liveCount, &simAddonCount, &thirdPartyCount, &liveryCount, &parkedLiveCount,
                        &staticCount, &standCount, &pendingStatic}) {
        count->store(0, relaxed);
    }
    countersTop.store(399, relaxed);
    for (auto* number : {&maxParkPercent, &qnh, &maxPark, &learnedUpdates}) {
        number->store(0, relaxed);
    }
    for (auto* flag : {&handmadeFile, &realTrafficConnected, &parkFileFound, &simConnected, &flightRunning,
                       &softMode, &weekMode, &reservedStandFound}) {
        flag->store(false, relaxed);
    }
    realTrafficNotStarted.store(true, relaxed);
    userModelKnown.store(true, relaxed);
    nowButtonEnabled.store(true, relaxed);
    trafficReaderState.store(3, relaxed);
    qnhReaderState.store(3, relaxed);
    ready.store(true);
}

void resetMainWindowStateForTests() {
    mainWindowState.restoreStartValues();
    staticRenewalBusy.store(false);
    parkAirportLoaded.store(false);
    rtTrafficWeek.store(0);
    offlineLearningCount.store(0);
}

} // namespace zeph
