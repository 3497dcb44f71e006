#pragma once
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <future>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <ostream>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "app/window/queued_backend.h"

// The window layer without a display: controls are records, painting is recorded, and user actions are
// simulated. It carries every in-process test and runs the program where there is no display.

namespace zeph {

enum class DrawKind { Fill, Line, Text };

// One painting operation. Fill: (x1,y1)-(x2,y2) is the rectangle; Line: its two ends; Text: (x1,y1) is
// the top-left anchor, and text what is drawn.
struct DrawOp {
    DrawKind kind = DrawKind::Fill;
    int x1 = 0;
    int y1 = 0;
    int x2 = 0;
    int y2 = 0;
    std::string text;
    Rgb colour;

    static DrawOp fill(const Rect& area, Rgb colour);
    static DrawOp line(int x1, int y1, int x2, int y2, Rgb colour);
    static DrawOp textAt(int x, int y, std::string text, Rgb colour);
    bool operator==(const DrawOp&) const = default;
};

std::ostream& operator<<(std::ostream& out, const DrawOp& op);

// A control as the headless backend keeps it.
struct HeadlessControl {
    ControlId id = 0;
    ControlKind kind = ControlKind::PushButton;
    Rect rect;
    std::string text; // an edit's text or a button's label
    bool enabled = true;
    bool checked = false;
    std::vector<std::string> items;
    int selection = -1;
    std::optional<Rgb> background; // from the window's CtlColor answer
    bool hooked = false;
};

// A message as the window procedure received it.
struct DispatchedMessage {
    WindowHandle window = nullptr;
    unsigned msg = 0;
    std::uintptr_t wParam = 0;
    std::intptr_t lParam = 0;
};

struct MessageBoxRecord {
    std::string text;
    std::string caption;
    Icon icon = Icon::Exclamation;
    bool operator==(const MessageBoxRecord&) const = default;
};

class HeadlessUi final : public QueuedUiBackend {
public:
    HeadlessUi();
    ~HeadlessUi() override;

    std::string loadString(unsigned id) override;
    bool registerClass(std::string_view name, WndProc proc, unsigned iconId) override;
    WindowHandle createMainWindow(std::string_view className, std::string_view title, int x, int y,
                                  int clientWidth, int clientHeight) override;
    void show(WindowHandle window) override;
    bool update(WindowHandle window) override;
    std::intptr_t defWindowProc(WindowHandle window, unsigned msg, std::uintptr_t wParam,
                                std::intptr_t lParam) override;
    Rect windowRect(WindowHandle window) override;
    WindowHandle createControl(WindowHandle parent, ControlKind kind, ControlId id, std::string_view label,
                               const Rect& rect) override;
    WindowHandle controlById(WindowHandle parent, ControlId id) override;
    std::string getText(WindowHandle control) override;
    bool isChecked(WindowHandle control) override;
    bool isEnabled(WindowHandle control) override;
    int comboSelection(WindowHandle combo) override;
    int comboCount(WindowHandle combo) override;
    std::optional<std::string> comboText(WindowHandle combo, int index) override;
    bool subclassEdit(WindowHandle edit, EditHook hook, void* param) override;
    std::intptr_t callPrevious(WindowHandle edit, unsigned msg, std::uintptr_t wParam,
                               std::intptr_t lParam) override;

    // --- test API ---
    // True while runMessageLoop runs on some thread.
    bool loopIsRunning() const { return loopRunning(); }
    // User actions on the latest main window, run on the GUI thread (the caller waits while a loop runs on
    // another thread). False when the control is missing, disabled or of another kind.
    bool click(ControlId id);                           // push button or check box: Command(id, Clicked)
    bool selectIndex(ControlId id, int index);          // drop-down: selects, then Command(id, SelChange)
    bool typeText(ControlId id, std::string_view text); // each character as a key to the edit
    bool pressEnter(ControlId id);                      // Enter (13) to the edit
    void requestClose();                                // the close button: Close to the window

    // Applies what is queued, repaints when invalidated and dispatches the posted messages, on the calling
    // thread; while a loop runs on another thread, waits until that loop has done so instead. A quit stays
    // queued for runMessageLoop.
    void pump();
    // Runs fn on the GUI thread: on the loop's thread while a loop runs elsewhere (the caller waits), else
    // here.
    void runOnGuiThread(const std::function<void()>& fn);
    // Dispatches a Paint to the latest main window now and returns what it drew.
    std::vector<DrawOp> paintNow();
    // What the latest Paint drew.
    std::vector<DrawOp> lastPaint() const;
    // Every rectangle invalidated so far (the whole client area for null), in call order.
    std::vector<Rect> invalidations() const;
    // Every message given to a window procedure, in order.
    std::vector<DispatchedMessage> dispatched() const;
    std::size_t dispatchedCount(unsigned msg) const;
    // Forgets the recorded invalidations, messages, paints and message boxes.
    void clearRecords();
    // Invalidations, dispatched messages and message boxes are recorded from reset() on (the window fixture
    // calls it); a program run records none of them, so nothing grows without end. The latest paint is
    // always kept.
    void setRecording(bool recording);
    std::optional<HeadlessControl> control(ControlId id) const;
    std::vector<MessageBoxRecord> messageBoxes() const;
    bool topmost() const;
    // The rectangle windowRect reports from now on, as if the user had moved the window.
    void setWindowRect(const Rect& rect);
    // The next createMainWindow fails.
    void failWindowCreation();
    // loadString finds nothing for the id from now on.
    void removeString(unsigned id);
    // No classes, windows, records, queues or failures, and recording on. Never while a loop runs.
    void reset();

private:
    struct Control;
    struct Window : UiObject {
        std::string className;
        std::string title;
        WndProc proc = nullptr;
        Rect rect; // on the screen, the client area
        bool visible = false;
        bool destroyed = false;
        std::vector<std::unique_ptr<Control>> controls; // in creation order
    };

    struct Control : UiObject {
        Window* parent = nullptr;
        HeadlessControl state;
        EditHook hook = nullptr;
        void* hookParam = nullptr;
    };

    struct Task {
        std::function<void()> fn;
        std::promise<void> done;
    };

    void waitForEvents() override;
    void wake() override;
    void repaint() override;
    void dispatchPosted(WindowHandle window, unsigned msg, std::uintptr_t wParam,
                        std::intptr_t lParam) override;
    void noteInvalidation(WindowHandle window, const Rect* area) override;
    void applyEnable(WindowHandle control, bool enabled) override;
    void applySetText(WindowHandle control, const std::string& text) override;
    void applySetCheck(WindowHandle control, bool checked) override;
    void applyComboReset(WindowHandle combo) override;
    void applyComboAdd(WindowHandle combo, const std::string& text) override;
    void applyComboSetSelection(WindowHandle combo, int index) override;
    void applyComboSelectPrefix(WindowHandle combo, const std::string& prefix) override;
    void applySetTopmost(WindowHandle window, bool topmost) override;
    void applyMessageBox(const std::string& text, const std::string& caption, Icon icon) override;

    std::intptr_t dispatch(WindowHandle window, unsigned msg, std::uintptr_t wParam, std::intptr_t lParam);
    std::vector<DrawOp> paintWindow(Window& window);
    void destroyWindow(Window& window);
    void runTasks();
    Window* findWindow(WindowHandle handle) const;
    Control* findControl(WindowHandle handle) const;
    Control* mainControl(ControlId id) const;
    WindowHandle mainControlHandle(ControlId id) const;
    std::intptr_t sendKey(WindowHandle edit, char32_t key);
    void askColours(Window& window, Control& control);

    mutable std::mutex mutex_; // guards everything below; never held while a window procedure or hook runs
    std::map<std::string, std::pair<WndProc, unsigned>, std::less<>> classes_;
    std::vector<std::unique_ptr<Window>> windows_;
    std::set<unsigned> removedStrings_;
    bool failNextWindow_ = false;
    std::optional<Rect> movedRect_;
    bool topmost_ = false;
    std::vector<Rect> invalidations_;
    std::vector<DispatchedMessage> dispatched_;
    std::vector<DrawOp> lastPaint_;
    std::vector<MessageBoxRecord> messageBoxes_;
    std::atomic<bool> recording_{false};

    std::mutex wakeMutex_; // the loop's wait
    std::condition_variable wakeCondition_;
    bool signalled_ = false;
    std::deque<std::shared_ptr<Task>> tasks_; // run on the loop's thread, guarded by wakeMutex_
};

// The headless backend, when it is the one uiInit() picked; throws std::logic_error otherwise.
HeadlessUi& headlessUi();

} // namespace zeph
