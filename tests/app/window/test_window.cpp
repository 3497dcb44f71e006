#include "test_window.h"

#include <stdexcept>
#include <utility>

namespace zeph::test {

namespace {

TestWindow* current = nullptr;

} // namespace

TestWindow::TestWindow(std::vector<ControlToMake> controls) : controls_(std::move(controls)) {
    if (current != nullptr) {
        throw std::logic_error("one TestWindow at a time");
    }
    current = this;
}

TestWindow::~TestWindow() { current = nullptr; }

WindowHandle TestWindow::create(int x, int y, int width, int height) {
    ui().registerClass(className, proc, appIconId);
    const WindowHandle created = ui().createMainWindow(className, "Test", x, y, width, height);
    if (created != nullptr) {
        ui().show(created);
    }
    return created;
}

WindowHandle TestWindow::control(ControlId id) const { return ui().controlById(window_, id); }

std::intptr_t TestWindow::proc(WindowHandle window, unsigned msg, std::uintptr_t wParam,
                               std::intptr_t lParam) {
    if (current == nullptr) {
        return 0;
    }
    return current->handle(window, msg, wParam, lParam);
}

std::intptr_t TestWindow::handle(WindowHandle window, unsigned msg, std::uintptr_t wParam,
                                 std::intptr_t lParam) {
    if (msg == Msg::Create) {
        window_ = window;
    }
    if (onMessage) {
        if (const auto answer = onMessage(msg, wParam, lParam)) {
            return *answer;
        }
    }
    switch (msg) {
    case Msg::Create:
        for (const ControlToMake& wanted : controls_) {
            ui().createControl(window, wanted.kind, wanted.id, wanted.label, wanted.rect);
        }
        return 0;
    case Msg::Paint:
        if (paint) {
            paint(*reinterpret_cast<Painter*>(wParam));
        }
        return 0;
    case Msg::CtlColorEdit:
    case Msg::CtlColorStatic: {
        auto* colours = reinterpret_cast<ControlColours*>(wParam);
        colours->opaque = true;
        colours->background = testBackground;
        return 0;
    }
    case Msg::Close:
        return 0; // the window stays, as the program's does
    default:
        return ui().defWindowProc(window, msg, wParam, lParam);
    }
}

} // namespace zeph::test
