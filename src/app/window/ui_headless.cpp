#include "app/window/ui_headless.h"

#include <chrono>
#include <future>
#include <iostream>
#include <stdexcept>
#include <utility>

#include "app/window/ui_text.h"

namespace zeph {

namespace {

// Keeps what a Paint draws, with the texts as they would appear.
class RecordingPainter : public Painter {
public:
    void fillRect(const Rect& area, Rgb colour) override { ops.push_back(DrawOp::fill(area, colour)); }
    void line(int x1, int y1, int x2, int y2, Rgb colour) override {
        ops.push_back(DrawOp::line(x1, y1, x2, y2, colour));
    }
    void text(int x, int y, std::string_view utf8, Rgb colour) override {
        ops.push_back(DrawOp::textAt(x, y, textAsDrawn(utf8), colour));
    }

    std::vector<DrawOp> ops;
};

const char* kindName(DrawKind kind) {
    switch (kind) {
    case DrawKind::Fill:
        return "fill";
    case DrawKind::Line:
        return "line";
    case DrawKind::Text:
        return "text";
    }
    return "?";
}

} // namespace

DrawOp DrawOp::fill(const Rect& area, Rgb colour) {
    return DrawOp{DrawKind::Fill, area.left, area.top, area.right, area.bottom, {}, colour};
}

DrawOp DrawOp::line(int x1, int y1, int x2, int y2, Rgb colour) {
    return DrawOp{DrawKind::Line, x1, y1, x2, y2, {}, colour};
}

DrawOp DrawOp::textAt(int x, int y, std::string text, Rgb colour) {
    return DrawOp{DrawKind::Text, x, y, x, y, std::move(text), colour};
}

std::ostream& operator<<(std::ostream& out, const DrawOp& op) {
    out << kindName(op.kind) << " (" << op.x1 << "," << op.y1 << ")";
    if (op.kind != DrawKind::Text) {
        out << "-(" << op.x2 << "," << op.y2 << ")";
    } else {
        out << " \"" << op.text << "\"";
    }
    return out << " rgb(" << int{op.colour.r} << "," << int{op.colour.g} << "," << int{op.colour.b} << ")";
}

HeadlessUi::HeadlessUi() { claimGuiThread(); }

HeadlessUi::~HeadlessUi() = default;

// --- process ---

std::string HeadlessUi::loadString(unsigned id) {
    {
        std::lock_guard lock(mutex_);
        if (removedStrings_.count(id) != 0) {
            return {};
        }
    }
    return resourceString(id);
}

bool HeadlessUi::registerClass(std::string_view name, WndProc proc, unsigned iconId) {
    std::lock_guard lock(mutex_);
    return classes_.emplace(std::string(name), std::make_pair(proc, iconId)).second;
}

WindowHandle HeadlessUi::createMainWindow(std::string_view className, std::string_view title, int x, int y,
                                          int clientWidth, int clientHeight) {
    if (!loopRunning()) {
        claimGuiThread();
    }
    Window* window = nullptr;
    {
        std::lock_guard lock(mutex_);
        const auto found = classes_.find(className);
        const bool fail = failNextWindow_;
        failNextWindow_ = false;
        if (found == classes_.end() || fail) {
            return nullptr;
        }
        auto created = std::make_unique<Window>();
        created->className = std::string(className);
        created->title = std::string(title);
        created->proc = found->second.first;
        created->rect = Rect::fromSize(x, y, clientWidth, clientHeight);
        window = created.get();
        windows_.push_back(std::move(created));
    }
    if (dispatch(window, Msg::Create, 0, 0) == -1) {
        destroyWindow(*window);
        return nullptr;
    }
    return window;
}

void HeadlessUi::show(WindowHandle handle) {
    std::lock_guard lock(mutex_);
    if (Window* window = findWindow(handle)) {
        window->visible = true;
    }
}

bool HeadlessUi::update(WindowHandle handle) {
    bool exists = false;
    {
        std::lock_guard lock(mutex_);
        const Window* window = findWindow(handle);
        exists = window != nullptr && !window->destroyed;
    }
    if (exists && takeDirty()) {
        repaint();
    }
    return exists;
}

std::intptr_t HeadlessUi::defWindowProc(WindowHandle handle, unsigned msg, std::uintptr_t, std::intptr_t) {
    if (msg == Msg::Close) {
        Window* window = nullptr;
        {
            std::lock_guard lock(mutex_);
            window = findWindow(handle);
        }
        if (window != nullptr) {
            destroyWindow(*window);
        }
    }
    return 0;
}

Rect HeadlessUi::windowRect(WindowHandle handle) {
    std::lock_guard lock(mutex_);
    const Window* window = findWindow(handle);
    if (window == nullptr) {
        return {};
    }
    return movedRect_.value_or(window->rect);
}

// --- controls ---

WindowHandle HeadlessUi::createControl(WindowHandle parent, ControlKind kind, ControlId id,
                                       std::string_view label, const Rect& rect) {
    Window* window = nullptr;
    Control* control = nullptr;
    {
        std::lock_guard lock(mutex_);
        window = findWindow(parent);
        if (window == nullptr || window->destroyed) {
            return nullptr;
        }
        auto created = std::make_unique<Control>();
        created->parent = window;
        created->state.id = id;
        created->state.kind = kind;
        created->state.rect = rect;
        if (kind != ControlKind::DropDownList) {
            created->state.text = std::string(label);
        }
        control = created.get();
        window->controls.push_back(std::move(created));
    }
    if (kind == ControlKind::Edit || kind == ControlKind::CheckBox) {
        askColours(*window, *control);
    }
    return control;
}

void HeadlessUi::askColours(Window& window, Control& control) {
    ControlColours colours;
    const unsigned msg = control.state.kind == ControlKind::Edit ? Msg::CtlColorEdit : Msg::CtlColorStatic;
    dispatch(&window, msg, reinterpret_cast<std::uintptr_t>(&colours),
             reinterpret_cast<std::intptr_t>(&control));
    if (colours.opaque) {
        std::lock_guard lock(mutex_);
        control.state.background = colours.background;
    }
}

WindowHandle HeadlessUi::controlById(WindowHandle parent, ControlId id) {
    std::lock_guard lock(mutex_);
    const Window* window = findWindow(parent);
    if (window == nullptr) {
        return nullptr;
    }
    for (const auto& control : window->controls) {
        if (control->state.id == id) {
            return control.get();
        }
    }
    return nullptr;
}

std::string HeadlessUi::getText(WindowHandle handle) {
    std::lock_guard lock(mutex_);
    const Control* control = findControl(handle);
    if (control == nullptr) {
        return {};
    }
    const HeadlessControl& state = control->state;
    if (state.kind != ControlKind::DropDownList) {
        return state.text;
    }
    if (state.selection < 0 || state.selection >= static_cast<int>(state.items.size())) {
        return {};
    }
    return state.items[static_cast<std::size_t>(state.selection)];
}

bool HeadlessUi::isChecked(WindowHandle handle) {
    std::lock_guard lock(mutex_);
    const Control* control = findControl(handle);
    return control != nullptr && control->state.kind == ControlKind::CheckBox && control->state.checked;
}

bool HeadlessUi::isEnabled(WindowHandle handle) {
    std::lock_guard lock(mutex_);
    if (const Control* control = findControl(handle)) {
        return control->state.enabled;
    }
    const Window* window = findWindow(handle);
    return window != nullptr && !window->destroyed;
}

int HeadlessUi::comboSelection(WindowHandle handle) {
    std::lock_guard lock(mutex_);
    const Control* control = findControl(handle);
    if (control == nullptr || control->state.kind != ControlKind::DropDownList) {
        return -1;
    }
    return control->state.selection;
}

int HeadlessUi::comboCount(WindowHandle handle) {
    std::lock_guard lock(mutex_);
    const Control* control = findControl(handle);
    if (control == nullptr || control->state.kind != ControlKind::DropDownList) {
        return 0;
    }
    return static_cast<int>(control->state.items.size());
}

std::optional<std::string> HeadlessUi::comboText(WindowHandle handle, int index) {
    std::lock_guard lock(mutex_);
    const Control* control = findControl(handle);
    if (control == nullptr || control->state.kind != ControlKind::DropDownList || index < 0 ||
        index >= static_cast<int>(control->state.items.size())) {
        return std::nullopt;
    }
    return control->state.items[static_cast<std::size_t>(index)];
}

bool HeadlessUi::subclassEdit(WindowHandle handle, EditHook hook, void* param) {
    std::lock_guard lock(mutex_);
    Control* control = findControl(handle);
    if (control == nullptr || control->state.kind != ControlKind::Edit) {
        return false;
    }
    control->hook = hook;
    control->hookParam = param;
    control->state.hooked = hook != nullptr;
    return true;
}

std::intptr_t HeadlessUi::callPrevious(WindowHandle handle, unsigned msg, std::uintptr_t wParam,
                                       std::intptr_t) {
    std::lock_guard lock(mutex_);
    Control* control = findControl(handle);
    if (control == nullptr || control->state.kind != ControlKind::Edit || msg != Msg::Char) {
        return 0;
    }
    if (wParam == 8) {
        eraseLastCodePoint(control->state.text);
    } else if (wParam >= 0x20 && wParam != 0x7F) {
        control->state.text += utf8Of(static_cast<char32_t>(wParam));
    }
    return 0;
}

// --- queued operations, applied on the GUI thread ---

void HeadlessUi::applyEnable(WindowHandle handle, bool enabled) {
    std::lock_guard lock(mutex_);
    if (Control* control = findControl(handle)) {
        control->state.enabled = enabled;
    }
}

void HeadlessUi::applySetText(WindowHandle handle, const std::string& text) {
    std::lock_guard lock(mutex_);
    Control* control = findControl(handle);
    if (control != nullptr && control->state.kind != ControlKind::DropDownList) {
        control->state.text = text;
    }
}

void HeadlessUi::applySetCheck(WindowHandle handle, bool checked) {
    std::lock_guard lock(mutex_);
    Control* control = findControl(handle);
    if (control != nullptr && control->state.kind == ControlKind::CheckBox) {
        control->state.checked = checked;
    }
}

void HeadlessUi::applyComboReset(WindowHandle handle) {
    std::lock_guard lock(mutex_);
    Control* control = findControl(handle);
    if (control != nullptr && control->state.kind == ControlKind::DropDownList) {
        control->state.items.clear();
        control->state.selection = -1;
    }
}

void HeadlessUi::applyComboAdd(WindowHandle handle, const std::string& text) {
    std::lock_guard lock(mutex_);
    Control* control = findControl(handle);
    if (control != nullptr && control->state.kind == ControlKind::DropDownList) {
        control->state.items.push_back(text);
    }
}

void HeadlessUi::applyComboSetSelection(WindowHandle handle, int index) {
    std::lock_guard lock(mutex_);
    Control* control = findControl(handle);
    if (control != nullptr && control->state.kind == ControlKind::DropDownList) {
        const bool inRange = index >= 0 && index < static_cast<int>(control->state.items.size());
        control->state.selection = inRange ? index : -1;
    }
}

void HeadlessUi::applyComboSelectPrefix(WindowHandle handle, const std::string& prefix) {
    std::lock_guard lock(mutex_);
    Control* control = findControl(handle);
    if (control != nullptr && control->state.kind == ControlKind::DropDownList) {
        const int found = findComboPrefix(control->state.items, prefix);
        if (found >= 0) {
            control->state.selection = found;
        }
    }
}

void HeadlessUi::applySetTopmost(WindowHandle handle, bool topmost) {
    std::lock_guard lock(mutex_);
    if (findWindow(handle) != nullptr) {
        topmost_ = topmost;
    }
}

void HeadlessUi::applyMessageBox(const std::string& text, const std::string& caption, Icon icon) {
    std::cerr << caption << ": " << text << std::endl;
    if (recording_) {
        std::lock_guard lock(mutex_);
        messageBoxes_.push_back(MessageBoxRecord{text, caption, icon});
    }
}

// --- the loop's side ---

void HeadlessUi::waitForEvents() {
    {
        std::unique_lock lock(wakeMutex_);
        wakeCondition_.wait(lock, [this] { return signalled_ || !tasks_.empty(); });
        signalled_ = false;
    }
    runTasks();
}

void HeadlessUi::wake() {
    {
        std::lock_guard lock(wakeMutex_);
        signalled_ = true;
    }
    wakeCondition_.notify_one();
}

void HeadlessUi::runTasks() {
    for (;;) {
        std::shared_ptr<Task> task;
        {
            std::lock_guard lock(wakeMutex_);
            if (tasks_.empty()) {
                return;
            }
            task = tasks_.front();
            tasks_.pop_front();
        }
        try {
            applyOps();
            task->fn();
            task->done.set_value();
        } catch (...) {
            task->done.set_exception(std::current_exception());
        }
    }
}

void HeadlessUi::runOnGuiThread(const std::function<void()>& fn) {
    if (!loopRunning() || isGuiThread()) {
        if (!loopRunning()) {
            claimGuiThread();
        }
        applyOps();
        fn();
        return;
    }
    auto task = std::make_shared<Task>();
    task->fn = fn;
    auto done = task->done.get_future();
    {
        std::lock_guard lock(wakeMutex_);
        tasks_.push_back(task);
    }
    wakeCondition_.notify_one();
    // A loop that ends before it takes the task leaves it to the caller.
    while (done.wait_for(std::chrono::milliseconds(20)) != std::future_status::ready) {
        if (loopRunning()) {
            continue;
        }
        bool taken = false;
        {
            std::lock_guard lock(wakeMutex_);
            for (auto it = tasks_.begin(); it != tasks_.end(); ++it) {
                if (*it == task) {
                    tasks_.erase(it);
                    taken = true;
                    break;
                }
            }
        }
        if (taken) {
            claimGuiThread();
            applyOps();
            fn();
            return;
        }
    }
    done.get();
}

void HeadlessUi::pump() {
    runOnGuiThread([this] {
        // Rounds until nothing is left, bounded so that a message that reposts itself cannot hang a test.
        for (int round = 0; round < 1000 && hasPendingWork(); ++round) {
            if (drain(true)) {
                return;
            }
        }
    });
}

void HeadlessUi::repaint() {
    std::vector<Window*> shown;
    {
        std::lock_guard lock(mutex_);
        for (const auto& window : windows_) {
            if (window->visible && !window->destroyed) {
                shown.push_back(window.get());
            }
        }
    }
    for (Window* window : shown) {
        paintWindow(*window);
    }
}

std::vector<DrawOp> HeadlessUi::paintWindow(Window& window) {
    RecordingPainter painter;
    setPainting(true);
    try {
        dispatch(&window, Msg::Paint, reinterpret_cast<std::uintptr_t>(&painter), 0);
    } catch (...) {
        setPainting(false);
        throw;
    }
    setPainting(false);
    std::lock_guard lock(mutex_);
    lastPaint_ = painter.ops;
    return painter.ops;
}

void HeadlessUi::dispatchPosted(WindowHandle window, unsigned msg, std::uintptr_t wParam,
                                std::intptr_t lParam) {
    dispatch(window, msg, wParam, lParam);
}

std::intptr_t HeadlessUi::dispatch(WindowHandle handle, unsigned msg, std::uintptr_t wParam,
                                   std::intptr_t lParam) {
    WndProc proc = nullptr;
    {
        std::lock_guard lock(mutex_);
        const Window* window = findWindow(handle);
        if (window == nullptr || window->destroyed || window->proc == nullptr) {
            return 0;
        }
        proc = window->proc;
        if (recording_) {
            dispatched_.push_back(DispatchedMessage{handle, msg, wParam, lParam});
        }
    }
    return proc(handle, msg, wParam, lParam);
}

void HeadlessUi::destroyWindow(Window& window) {
    dispatch(&window, Msg::Destroy, 0, 0);
    std::lock_guard lock(mutex_);
    window.destroyed = true;
    window.visible = false;
}

void HeadlessUi::noteInvalidation(WindowHandle handle, const Rect* area) {
    if (!recording_) {
        return; // a program run keeps no records: they would grow without end
    }
    std::lock_guard lock(mutex_);
    const Window* window = findWindow(handle);
    if (window == nullptr) {
        return;
    }
    invalidations_.push_back(area != nullptr ? *area
                                             : Rect{0, 0, window->rect.width(), window->rect.height()});
}

// --- lookups, under mutex_ ---

HeadlessUi::Window* HeadlessUi::findWindow(WindowHandle handle) const {
    for (const auto& window : windows_) {
        if (window.get() == handle) {
            return window.get();
        }
    }
    return nullptr;
}

HeadlessUi::Control* HeadlessUi::findControl(WindowHandle handle) const {
    if (handle == nullptr) {
        return nullptr;
    }
    for (const auto& window : windows_) {
        for (const auto& control : window->controls) {
            if (control.get() == handle) {
                return control.get();
            }
        }
    }
    return nullptr;
}

// The first control with this id in the latest window that still exists.
HeadlessUi::Control* HeadlessUi::mainControl(ControlId id) const {
    for (auto it = windows_.rbegin(); it != windows_.rend(); ++it) {
        if ((*it)->destroyed) {
            continue;
        }
        for (const auto& control : (*it)->controls) {
            if (control->state.id == id) {
                return control.get();
            }
        }
        return nullptr;
    }
    return nullptr;
}

std::unique_ptr<UiBackend> makeHeadlessBackend() { return std::make_unique<HeadlessUi>(); }

HeadlessUi& headlessUi() {
    auto* backend = dynamic_cast<HeadlessUi*>(&ui());
    if (backend == nullptr) {
        throw std::logic_error("the window layer is not headless");
    }
    return *backend;
}

} // namespace zeph
