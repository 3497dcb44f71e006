#include "app/window/close_signals.h"

#include <cerrno>
#include <csignal>
#include <ctime>
#include <stop_token>

#include <sys/syscall.h>
#include <unistd.h>

namespace zeph {

namespace {

sigset_t closeSignals() {
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGTERM);
    sigaddset(&set, SIGINT);
    return set;
}

// Waits in steps of 250 ms so that the stop request is seen soon; a signal never waits for a step to end.
void watch(const std::stop_token& stop, WindowHandle window) {
    const sigset_t set = closeSignals();
    const timespec step{0, 250'000'000};
    while (!stop.stop_requested()) {
        const int signal = ::sigtimedwait(&set, nullptr, &step);
        if (signal == SIGTERM || signal == SIGINT) {
            ui().postMessage(window, Msg::Close, 0, 0);
        }
    }
}

} // namespace

// The raw call: the program calls this before a sanitizer's interceptors may be set up.
void blockCloseSignals() {
    const sigset_t set = closeSignals();
    ::syscall(SYS_rt_sigprocmask, SIG_BLOCK, &set, nullptr, _NSIG / 8);
}

CloseSignalWatcher::CloseSignalWatcher(WindowHandle window)
    : thread_([window](const std::stop_token& stop) { watch(stop, window); }) {}

CloseSignalWatcher::~CloseSignalWatcher() { stop(); }

void CloseSignalWatcher::stop() {
    if (thread_.joinable()) {
        thread_.request_stop();
        thread_.join();
    }
}

std::unique_ptr<CloseSignalWatcher> closeOnSignals(WindowHandle window) {
    return std::make_unique<CloseSignalWatcher>(window);
}

} // namespace zeph
