#pragma once
#include <memory>
#include <thread>

#include "app/window/ui.h"

// SIGTERM and SIGINT close the main window as its close button does.

namespace zeph {

// Blocks SIGTERM and SIGINT in the calling thread. The program calls it before any library or program-wide
// object is set up and before any thread starts, so that every thread inherits the mask and only the watcher
// takes the signals.
void blockCloseSignals();

// A thread that waits for SIGTERM and SIGINT and posts Msg::Close to the window for each one.
class CloseSignalWatcher {
public:
    explicit CloseSignalWatcher(WindowHandle window);
    ~CloseSignalWatcher();
    CloseSignalWatcher(const CloseSignalWatcher&) = delete;
    CloseSignalWatcher& operator=(const CloseSignalWatcher&) = delete;

    // Stops the thread and joins it; within about 250 ms. Calling it again does nothing.
    void stop();

private:
    std::jthread thread_;
};

// Starts a watcher for the window. The signals must be blocked (blockCloseSignals) in every thread.
std::unique_ptr<CloseSignalWatcher> closeOnSignals(WindowHandle window);

} // namespace zeph
