#include "app/window/queued_backend.h"

#include <chrono>
#include <utility>

namespace zeph {

bool QueuedUiBackend::postMessage(WindowHandle window, unsigned msg, std::uintptr_t wParam,
                                  std::intptr_t lParam) {
    if (window == nullptr) {
        return false;
    }
    pushPosted(Posted{window, msg, wParam, lParam, std::nullopt});
    return true;
}

void QueuedUiBackend::postQuit(int code) { pushPosted(Posted{nullptr, 0, 0, 0, code}); }

void QueuedUiBackend::pushPosted(Posted posted) {
    {
        std::lock_guard lock(messagesMutex_);
        messages_.push_back(posted);
    }
    wakeOnce();
}

// One wake-up outstanding at most: a flood of posts or invalidations never fills the toolkit's wake pipe,
// so a sender never blocks. The loop clears the flag before it looks at the queues.
void QueuedUiBackend::wakeOnce() {
    if (!displayLost() && !wakePending_.exchange(true)) {
        wake();
    }
}

int QueuedUiBackend::runMessageLoop() {
    claimGuiThread();
    loopRunning_ = true;
    for (;;) {
        wakePending_ = false;
        if (const auto code = drain(false)) {
            loopRunning_ = false;
            return *code;
        }
        waitForEvents();
    }
}

// Without a display nothing wakes the loop, so it looks at the queues in short steps.
std::optional<int> QueuedUiBackend::runMessageLoopWithoutDisplay(std::chrono::milliseconds limit) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    for (;;) {
        if (const auto code = drain(false)) {
            return code;
        }
        if (std::chrono::steady_clock::now() >= deadline) {
            return std::nullopt;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

std::optional<int> QueuedUiBackend::drain(bool keepQuit) {
    applyOps();
    if (dirty_.exchange(false)) {
        repaint();
    }
    std::size_t count = 0;
    {
        std::lock_guard lock(messagesMutex_);
        count = messages_.size();
    }
    // Messages posted while these are dispatched wait for the next round, so painting and input go on.
    for (std::size_t k = 0; k < count; ++k) {
        Posted posted;
        {
            std::lock_guard lock(messagesMutex_);
            if (messages_.empty()) {
                break;
            }
            posted = messages_.front();
            if (posted.quitCode && keepQuit) {
                return posted.quitCode;
            }
            messages_.pop_front();
        }
        applyOps();
        if (posted.quitCode) {
            return posted.quitCode;
        }
        dispatchPosted(posted.window, posted.msg, posted.wParam, posted.lParam);
    }
    return std::nullopt;
}

void QueuedUiBackend::applyOps() {
    std::deque<std::function<void()>> pending;
    {
        std::lock_guard lock(opsMutex_);
        pending.swap(ops_);
    }
    for (auto& op : pending) {
        op();
    }
}

bool QueuedUiBackend::hasPendingWork() {
    if (dirty_.load()) {
        return true;
    }
    {
        std::lock_guard lock(opsMutex_);
        if (!ops_.empty()) {
            return true;
        }
    }
    std::lock_guard lock(messagesMutex_);
    return !messages_.empty() && !messages_.front().quitCode;
}

void QueuedUiBackend::clearQueues() {
    {
        std::lock_guard lock(opsMutex_);
        ops_.clear();
    }
    {
        std::lock_guard lock(messagesMutex_);
        messages_.clear();
    }
    dirty_ = false;
    wakePending_ = false;
}

void QueuedUiBackend::claimGuiThread() { guiThread_ = std::this_thread::get_id(); }

bool QueuedUiBackend::isGuiThread() const { return guiThread_.load() == std::this_thread::get_id(); }

// On the GUI thread an operation takes effect at once, after everything queued before it, so a handler
// reads back what it wrote. Inside a paint it is queued, which keeps widget changes out of drawing.
void QueuedUiBackend::submit(std::function<void()> op) {
    if (displayLost()) {
        return;
    }
    if (isGuiThread() && !painting_) {
        applyOps();
        op();
        return;
    }
    {
        std::lock_guard lock(opsMutex_);
        ops_.push_back(std::move(op));
    }
    wakeOnce();
}

void QueuedUiBackend::enable(WindowHandle control, bool enabled) {
    submit([this, control, enabled] { applyEnable(control, enabled); });
}

void QueuedUiBackend::setText(WindowHandle control, std::string text) {
    submit([this, control, text = std::move(text)] { applySetText(control, text); });
}

void QueuedUiBackend::setCheck(WindowHandle control, bool checked) {
    submit([this, control, checked] { applySetCheck(control, checked); });
}

void QueuedUiBackend::comboReset(WindowHandle combo) {
    submit([this, combo] { applyComboReset(combo); });
}

void QueuedUiBackend::comboAdd(WindowHandle combo, std::string text) {
    submit([this, combo, text = std::move(text)] { applyComboAdd(combo, text); });
}

void QueuedUiBackend::comboSetSelection(WindowHandle combo, int index) {
    submit([this, combo, index] { applyComboSetSelection(combo, index); });
}

void QueuedUiBackend::comboSelectPrefix(WindowHandle combo, std::string prefix) {
    submit([this, combo, prefix = std::move(prefix)] { applyComboSelectPrefix(combo, prefix); });
}

void QueuedUiBackend::setTopmost(WindowHandle window, bool topmost) {
    submit([this, window, topmost] { applySetTopmost(window, topmost); });
}

void QueuedUiBackend::messageBox(std::string text, std::string caption, Icon icon) {
    submit([this, text = std::move(text), caption = std::move(caption), icon] {
        applyMessageBox(text, caption, icon);
    });
}

// No lock and no queue: a flag and at most one wake-up, whatever the number of callers.
void QueuedUiBackend::invalidate(WindowHandle window, const Rect* area) {
    if (window == nullptr || displayLost()) {
        return;
    }
    noteInvalidation(window, area);
    dirty_ = true;
    wakeOnce();
}

void QueuedUiBackend::noteInvalidation(WindowHandle, const Rect*) {}

} // namespace zeph
