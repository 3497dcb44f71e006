#pragma once
#include <atomic>
#include <chrono>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>

#include "app/window/ui.h"

// What both backends share: the two FIFOs (control operations and posted messages), the coalesced
// invalidation, the single outstanding wake-up and the message loop. A backend supplies the wait for
// events, the wake-up, the repaint, the dispatch to a window procedure and the control operations.

namespace zeph {

class QueuedUiBackend : public UiBackend {
public:
    bool postMessage(WindowHandle window, unsigned msg, std::uintptr_t wParam, std::intptr_t lParam) final;
    void postQuit(int code) final;
    int runMessageLoop() final;
    std::optional<int> runMessageLoopWithoutDisplay(std::chrono::milliseconds limit) final;
    bool isGuiThread() const final;

    void enable(WindowHandle control, bool enabled) final;
    void setText(WindowHandle control, std::string text) final;
    void setCheck(WindowHandle control, bool checked) final;
    void comboReset(WindowHandle combo) final;
    void comboAdd(WindowHandle combo, std::string text) final;
    void comboSetSelection(WindowHandle combo, int index) final;
    void comboSelectPrefix(WindowHandle combo, std::string prefix) final;
    void invalidate(WindowHandle window, const Rect* area) final;
    void setTopmost(WindowHandle window, bool topmost) final;
    void messageBox(std::string text, std::string caption, Icon icon) final;

protected:
    QueuedUiBackend() = default;

    // The calling thread becomes the GUI thread.
    void claimGuiThread();
    bool loopRunning() const { return loopRunning_.load(); }
    // From now on control operations, message boxes, invalidations and wake-ups are dropped: nothing may
    // reach a toolkit whose display is gone.
    void loseDisplay() { displayLost_ = true; }
    bool displayLost() const { return displayLost_.load(); }

    // Applies every queued control operation, in call order (GUI thread).
    void applyOps();
    // Applies the operations, repaints when invalidated, and dispatches the messages that were queued when it
    // started. Stops at a quit and returns its code; with keepQuit the quit stays queued.
    std::optional<int> drain(bool keepQuit);
    // True while a Paint is being dispatched; operations called then are queued, never applied inside it.
    void setPainting(bool painting) { painting_ = painting; }
    // Forgets every queued operation and message (test reset only).
    void clearQueues();
    // Takes the invalidation flag: true when a repaint is due.
    bool takeDirty() { return dirty_.exchange(false); }
    // Whether drain would do anything: operations, a repaint, or a message ahead of any quit.
    bool hasPendingWork();

    // --- supplied by the backend ---
    // Blocks until a wake-up or an event, handling the toolkit's events (GUI thread).
    virtual void waitForEvents() = 0;
    // Makes waitForEvents return; called by any thread, at most once until the loop runs again.
    virtual void wake() = 0;
    // Repaints every shown window (GUI thread).
    virtual void repaint() = 0;
    // Hands a posted message to its window's procedure; nothing when the window is gone (GUI thread).
    virtual void dispatchPosted(WindowHandle window, unsigned msg, std::uintptr_t wParam,
                                std::intptr_t lParam) = 0;
    // Called at the call of invalidate, on the caller's thread (the headless backend records it).
    virtual void noteInvalidation(WindowHandle window, const Rect* area);

    // The control operations themselves, applied on the GUI thread.
    virtual void applyEnable(WindowHandle control, bool enabled) = 0;
    virtual void applySetText(WindowHandle control, const std::string& text) = 0;
    virtual void applySetCheck(WindowHandle control, bool checked) = 0;
    virtual void applyComboReset(WindowHandle combo) = 0;
    virtual void applyComboAdd(WindowHandle combo, const std::string& text) = 0;
    virtual void applyComboSetSelection(WindowHandle combo, int index) = 0;
    virtual void applyComboSelectPrefix(WindowHandle combo, const std::string& prefix) = 0;
    virtual void applySetTopmost(WindowHandle window, bool topmost) = 0;
    virtual void applyMessageBox(const std::string& text, const std::string& caption, Icon icon) = 0;

private:
    struct Posted {
        WindowHandle window = nullptr;
        unsigned msg = 0;
        std::uintptr_t wParam = 0;
        std::intptr_t lParam = 0;
        std::optional<int> quitCode; // set for the quit entry
    };

    void submit(std::function<void()> op);
    void pushPosted(Posted posted);
    void wakeOnce();

    std::mutex opsMutex_;
    std::deque<std::function<void()>> ops_;
    std::mutex messagesMutex_;
    std::deque<Posted> messages_;
    std::atomic<bool> dirty_{false};
    std::atomic<bool> wakePending_{false};
    std::atomic<std::thread::id> guiThread_{};
    std::atomic<bool> loopRunning_{false};
    std::atomic<bool> displayLost_{false};
    bool painting_ = false; // GUI thread only
};

// The backends; uiInit() makes one of them.
std::unique_ptr<UiBackend> makeFltkBackend();
std::unique_ptr<UiBackend> makeHeadlessBackend();

} // namespace zeph
