#include "app/window/ui.h"

#include <atomic>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <string_view>

#include "app/window/queued_backend.h"

namespace zeph {

namespace {

std::atomic<UiBackend*> currentBackend{nullptr};

} // namespace

UiKind pickUiKind(const char* corvaneUi, const char* display) {
    const std::string_view choice = corvaneUi != nullptr ? corvaneUi : "";
    if (choice == "fltk") {
        return UiKind::Fltk;
    }
    if (choice == "headless") {
        return UiKind::Headless;
    }
    return (display != nullptr && *display != '\0') ? UiKind::Fltk : UiKind::Headless;
}

UiBackend& uiInit() {
    // Lives to the end of the process: windows and controls are never destroyed before it ends.
    static std::unique_ptr<UiBackend> backend;
    static std::once_flag once;
    std::call_once(once, [] {
        const UiKind kind = pickUiKind(std::getenv("CORVANE_UI"), std::getenv("DISPLAY"));
        backend = kind == UiKind::Fltk ? makeFltkBackend() : makeHeadlessBackend();
        currentBackend = backend.get();
    });
    return *currentBackend.load();
}

UiBackend& ui() {
    UiBackend* backend = currentBackend.load();
    if (backend == nullptr) {
        throw std::logic_error("the window layer is used before uiInit()");
    }
    return *backend;
}

} // namespace zeph
