#include "app/window/ui_headless.h"

#include <stdexcept>

#include "app/window/ui_text.h"

// The headless backend's test API: simulated user actions and the records tests read.

namespace zeph {

namespace {

bool isButtonLike(ControlKind kind) {
    return kind == ControlKind::PushButton || kind == ControlKind::CheckBox;
}

} // namespace

// --- user actions ---

bool HeadlessUi::click(ControlId id) {
    bool clicked = false;
    runOnGuiThread([&] {
        Window* parent = nullptr;
        WindowHandle handle = nullptr;
        {
            std::lock_guard lock(mutex_);
            Control* control = mainControl(id);
            if (control == nullptr || !control->state.enabled || !isButtonLike(control->state.kind)) {
                return;
            }
            parent = control->parent;
            handle = control;
        }
        dispatch(parent, Msg::Command, makeWParam(id, Notify::Clicked),
                 reinterpret_cast<std::intptr_t>(handle));
        clicked = true;
    });
    return clicked;
}

bool HeadlessUi::selectIndex(ControlId id, int index) {
    bool selected = false;
    runOnGuiThread([&] {
        Window* parent = nullptr;
        WindowHandle handle = nullptr;
        {
            std::lock_guard lock(mutex_);
            Control* control = mainControl(id);
            if (control == nullptr || !control->state.enabled ||
                control->state.kind != ControlKind::DropDownList || index < 0 ||
                index >= static_cast<int>(control->state.items.size())) {
                return;
            }
            control->state.selection = index;
            parent = control->parent;
            handle = control;
        }
        dispatch(parent, Msg::Command, makeWParam(id, Notify::SelChange),
                 reinterpret_cast<std::intptr_t>(handle));
        selected = true;
    });
    return selected;
}

bool HeadlessUi::typeText(ControlId id, std::string_view text) {
    bool typed = false;
    runOnGuiThread([&] {
        const WindowHandle edit = mainControlHandle(id);
        if (edit == nullptr) {
            return;
        }
        for (char32_t key : codePoints(text)) {
            sendKey(edit, key);
        }
        typed = true;
    });
    return typed;
}

bool HeadlessUi::pressEnter(ControlId id) {
    bool pressed = false;
    runOnGuiThread([&] {
        const WindowHandle edit = mainControlHandle(id);
        if (edit != nullptr) {
            sendKey(edit, 13);
            pressed = true;
        }
    });
    return pressed;
}

// The enabled edit field with this id in the latest window, or null.
WindowHandle HeadlessUi::mainControlHandle(ControlId id) const {
    std::lock_guard lock(mutex_);
    Control* control = mainControl(id);
    if (control == nullptr || !control->state.enabled || control->state.kind != ControlKind::Edit) {
        return nullptr;
    }
    return control;
}

std::intptr_t HeadlessUi::sendKey(WindowHandle edit, char32_t key) {
    EditHook hook = nullptr;
    void* param = nullptr;
    {
        std::lock_guard lock(mutex_);
        const Control* control = findControl(edit);
        if (control == nullptr) {
            return 0;
        }
        hook = control->hook;
        param = control->hookParam;
    }
    if (hook != nullptr) {
        return hook(edit, Msg::Char, key, 0, param);
    }
    return callPrevious(edit, Msg::Char, key, 0);
}

void HeadlessUi::requestClose() {
    runOnGuiThread([this] {
        Window* window = nullptr;
        {
            std::lock_guard lock(mutex_);
            for (auto it = windows_.rbegin(); it != windows_.rend() && window == nullptr; ++it) {
                if (!(*it)->destroyed) {
                    window = it->get();
                }
            }
        }
        if (window != nullptr) {
            dispatch(window, Msg::Close, 0, 0);
        }
    });
}

// --- reading the records ---

std::vector<DrawOp> HeadlessUi::paintNow() {
    std::vector<DrawOp> ops;
    runOnGuiThread([&] {
        Window* window = nullptr;
        {
            std::lock_guard lock(mutex_);
            for (auto it = windows_.rbegin(); it != windows_.rend() && window == nullptr; ++it) {
                if (!(*it)->destroyed) {
                    window = it->get();
                }
            }
        }
        if (window != nullptr) {
            ops = paintWindow(*window);
        }
    });
    return ops;
}

std::vector<DrawOp> HeadlessUi::lastPaint() const {
    std::lock_guard lock(mutex_);
    return lastPaint_;
}

std::vector<Rect> HeadlessUi::invalidations() const {
    std::lock_guard lock(mutex_);
    return invalidations_;
}

std::vector<DispatchedMessage> HeadlessUi::dispatched() const {
    std::lock_guard lock(mutex_);
    return dispatched_;
}

std::size_t HeadlessUi::dispatchedCount(unsigned msg) const {
    std::lock_guard lock(mutex_);
    std::size_t count = 0;
    for (const auto& message : dispatched_) {
        count += message.msg == msg ? 1 : 0;
    }
    return count;
}

void HeadlessUi::clearRecords() {
    std::lock_guard lock(mutex_);
    invalidations_.clear();
    dispatched_.clear();
    lastPaint_.clear();
    messageBoxes_.clear();
}

std::optional<HeadlessControl> HeadlessUi::control(ControlId id) const {
    std::lock_guard lock(mutex_);
    if (const Control* found = mainControl(id)) {
        return found->state;
    }
    return std::nullopt;
}

std::vector<MessageBoxRecord> HeadlessUi::messageBoxes() const {
    std::lock_guard lock(mutex_);
    return messageBoxes_;
}

bool HeadlessUi::topmost() const {
    std::lock_guard lock(mutex_);
    return topmost_;
}

void HeadlessUi::setWindowRect(const Rect& rect) {
    std::lock_guard lock(mutex_);
    movedRect_ = rect;
}

void HeadlessUi::failWindowCreation() {
    std::lock_guard lock(mutex_);
    failNextWindow_ = true;
}

void HeadlessUi::removeString(unsigned id) {
    std::lock_guard lock(mutex_);
    removedStrings_.insert(id);
}

void HeadlessUi::setRecording(bool recording) { recording_ = recording; }

void HeadlessUi::reset() {
    if (loopRunning()) {
        throw std::logic_error("HeadlessUi::reset while a message loop runs");
    }
    clearQueues();
    {
        std::lock_guard lock(wakeMutex_);
        signalled_ = false;
        tasks_.clear();
    }
    recording_ = true;
    std::lock_guard lock(mutex_);
    classes_.clear();
    windows_.clear();
    removedStrings_.clear();
    failNextWindow_ = false;
    movedRect_.reset();
    topmost_ = false;
    invalidations_.clear();
    dispatched_.clear();
    lastPaint_.clear();
    messageBoxes_.clear();
}

} // namespace zeph
