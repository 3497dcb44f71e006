#include "support/window_fixture.h"

#include <stdexcept>

#include "app/window/controls.h"
#include "state/main_window_state.h"
#include "support/slow_factor.h"

namespace zeph::test {

HeadlessWindowLoop::HeadlessWindowLoop() : backendChoice_("CORVANE_UI", "headless") {
    uiInit();
    headless_ = &headlessUi();
    headless_->reset();
    resetMainWindowStateForTests();
    previousPort_ = setWindowPort(&mainWindowPort());
}

HeadlessWindowLoop::~HeadlessWindowLoop() {
    if (started()) {
        stop();
    }
    setWindowPort(previousPort_);
    headless_->reset();
    // The window is gone with the reset; no handle of it may reach the next test.
    resetMainWindowStateForTests();
}

void HeadlessWindowLoop::start() {
    if (started()) {
        throw std::logic_error("the message loop runs already");
    }
    std::packaged_task<int()> loop([this] { return headless_->runMessageLoop(); });
    result_ = loop.get_future();
    thread_ = std::jthread(std::move(loop));
    const auto deadline = std::chrono::steady_clock::now() + kLivenessBound * 5;
    while (!headless_->loopIsRunning() &&
           result_.wait_for(std::chrono::milliseconds(1)) != std::future_status::ready) {
        if (std::chrono::steady_clock::now() > deadline) {
            throw std::runtime_error("the message loop did not start");
        }
    }
}

std::optional<int> HeadlessWindowLoop::waitForEnd(std::chrono::milliseconds timeout) {
    if (!started() || result_.wait_for(timeout) != std::future_status::ready) {
        return std::nullopt;
    }
    thread_.join();
    return result_.get();
}

int HeadlessWindowLoop::stop() {
    if (!started()) {
        throw std::logic_error("the message loop was not started");
    }
    if (result_.wait_for(std::chrono::seconds(0)) != std::future_status::ready) {
        headless_->postQuit(0);
    }
    thread_.join();
    return result_.get();
}

} // namespace zeph::test
